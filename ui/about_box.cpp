#include "ui/about_box.h"

#include <windowsx.h>

#include <memory>
#include <string>

#include "res/resource.h"
#include "ui/output_pane.h"
#include "ui/scoped_win.h"

namespace {

// What one open box owns: its link font and the two cursors (shared system
// cursors, never freed). It hangs on the dialog from WM_INITDIALOG to
// WM_NCDESTROY.
struct AboutBoxState {
  ScopedFont LinkFont;
  HCURSOR ArrowCursor = nullptr;
  HCURSOR HandCursor = nullptr;
};

// The labels hold their targets as their own text.
constexpr int LinkTextCapacity = 250;

bool IsLinkId(int id) { return id == IDC_ABOUT_WEBSITE || id == IDC_ABOUT_FORUM || id == IDC_ABOUT_MAIL; }

AboutBoxState* StateOf(HWND dialog) { return reinterpret_cast<AboutBoxState*>(GetWindowLongPtrA(dialog, DWLP_USER)); }

// The link font is the dialog's own font underlined, so a link is drawn in
// the font its label was sized for, at every DPI.
INT_PTR OnInitDialog(HWND dialog) {
  auto state = std::make_unique<AboutBoxState>();
  LOGFONTA font{};
  auto dialogFont = reinterpret_cast<HGDIOBJ>(SendMessageA(dialog, WM_GETFONT, 0, 0));
  if (!dialogFont || !GetObjectA(dialogFont, sizeof font, &font))
    GetObjectA(GetStockObject(DEFAULT_GUI_FONT), sizeof font, &font);
  font.lfUnderline = 1;
  state->LinkFont = ScopedFont(CreateFontIndirectA(&font));
  state->ArrowCursor = LoadCursorA(nullptr, IDC_ARROW);
  state->HandCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32649));  // IDC_HAND
  SetWindowLongPtrA(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(state.release()));
  return TRUE;
}

void OnNcDestroy(HWND dialog) {
  std::unique_ptr<AboutBoxState> state(StateOf(dialog));
  SetWindowLongPtrA(dialog, DWLP_USER, 0);
}

// Links are blue and underlined on the dialog's own background.
INT_PTR OnCtlColorStatic(HWND dialog, HDC dc, HWND control) {
  if (!IsLinkId(GetDlgCtrlID(control))) return FALSE;
  SetBkColor(dc, GetSysColor(COLOR_INACTIVEBORDER));
  SetTextColor(dc, RGB(0, 0, 255));
  if (const AboutBoxState* state = StateOf(dialog); state && state->LinkFont) SelectObject(dc, state->LinkFont.Font());
  return reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_INACTIVEBORDER));
}

INT_PTR OnMouseMove(HWND dialog, LPARAM point) {
  const AboutBoxState* state = StateOf(dialog);
  if (!state) return FALSE;
  SetCursor(AboutLinkAt(dialog, point) ? state->HandCursor : state->ArrowCursor);
  return FALSE;
}

// Wherever the press began, releasing over a link opens it.
INT_PTR OnLeftButtonUp(HWND dialog, LPARAM point) {
  HWND link = AboutLinkAt(dialog, point);
  if (!link) return FALSE;
  char text[LinkTextCapacity] = "";
  SendMessageA(link, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
  OpenLink(dialog, text);
  return FALSE;
}

INT_PTR OnEnd(HWND dialog) {
  EndDialog(dialog, 1);
  return TRUE;
}

}  // namespace

HWND AboutLinkAt(HWND dialog, LPARAM point) {
  // The labels have no SS_NOTIFY, so the dialog gets their mouse messages and
  // finds the label itself.
  POINT p{GET_X_LPARAM(point), GET_Y_LPARAM(point)};
  HWND child = ChildWindowFromPointEx(dialog, p, CWP_SKIPTRANSPARENT);
  if (!child || child == dialog || !IsLinkId(GetDlgCtrlID(child))) return nullptr;
  return child;
}

INT_PTR CALLBACK AboutBoxProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: return OnInitDialog(dialog);
    case WM_NCDESTROY: OnNcDestroy(dialog); return FALSE;
    case WM_CTLCOLORSTATIC:
      return OnCtlColorStatic(dialog, reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_MOUSEMOVE: return OnMouseMove(dialog, lParam);
    case WM_LBUTTONUP: return OnLeftButtonUp(dialog, lParam);
    case WM_COMMAND:
    case WM_CLOSE: return OnEnd(dialog);
    default: return FALSE;
  }
}

void ShowAboutBox(HWND owner) {
  auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(owner, GWLP_HINSTANCE));
  DialogBoxParamA(instance, "DLG_ABOUT", owner, AboutBoxProc, 0);
}
