#include "ui/about_box.h"

#include <shellapi.h>
#include <windowsx.h>

#include <string>

#include "ui/controls.h"
#include "ui/link_policy.h"

namespace {

// One open About box at a time (it is modal), so its state can be global.
HFONT LinkFont = nullptr;
HCURSOR ArrowCursor = nullptr;
HCURSOR HandCursor = nullptr;
// The labels hold their targets as their own text.
constexpr int LinkTextCapacity = 250;

bool IsLinkId(int id) { return id == IDC_ABOUT_WEBSITE || id == IDC_ABOUT_FORUM || id == IDC_ABOUT_MAIL; }

INT_PTR OnInitDialog() {
  LOGFONTA font{};
  GetObjectA(GetStockObject(DEFAULT_GUI_FONT), sizeof font, &font);
  font.lfUnderline = 1;
  LinkFont = CreateFontIndirectA(&font);
  ArrowCursor = LoadCursorA(nullptr, IDC_ARROW);
  HandCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32649));  // IDC_HAND
  return TRUE;
}

// Links are blue and underlined on the dialog's own background.
INT_PTR OnCtlColorStatic(HDC dc, HWND control) {
  if (!IsLinkId(GetDlgCtrlID(control))) return FALSE;
  SetBkColor(dc, GetSysColor(COLOR_INACTIVEBORDER));
  SetTextColor(dc, RGB(0, 0, 255));
  if (LinkFont) SelectObject(dc, LinkFont);
  return reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_INACTIVEBORDER));
}

INT_PTR OnMouseMove(HWND dialog, LPARAM point) {
  SetCursor(ArrowCursor);
  if (AboutLinkAt(dialog, point)) SetCursor(HandCursor);
  return FALSE;
}

// Wherever the press began, releasing over a link opens it.
INT_PTR OnLeftButtonUp(HWND dialog, LPARAM point) {
  HWND link = AboutLinkAt(dialog, point);
  if (!link) return FALSE;
  char text[LinkTextCapacity] = "";
  SendMessageA(link, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
  const std::string target = OpenableLink(text);
  if (!target.empty()) ShellExecuteA(dialog, "open", target.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
  return FALSE;
}

INT_PTR OnEnd(HWND dialog) {
  EndDialog(dialog, 1);
  if (LinkFont) DeleteObject(LinkFont);
  LinkFont = nullptr;
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
    case WM_INITDIALOG: return OnInitDialog();
    case WM_CTLCOLORSTATIC: return OnCtlColorStatic(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
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
