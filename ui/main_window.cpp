#include "ui/main_window.h"

#include <commctrl.h>
#include <richedit.h>

#include "settings/proxy_dialog.h"
#include "settings/settings.h"
#include "ui/about_box.h"
#include "ui/controls.h"
#include "ui/find.h"
#include "ui/lookup_thread.h"
#include "ui/messages.h"
#include "ui/output_pane.h"
#include "ui/query_box.h"
#include "ui/recent_list.h"
#include "ui/scoped_win.h"
#include "ui/settings_window.h"
#include "ui/window_sink.h"

MainWindowHandles Ui;
UINT NotifyMessageId = 0;
std::atomic<bool> WindowsAlive{false};

namespace {

// The "&Edit" popup, which is also the pane's right-click menu.
constexpr int EditMenuPosition = 1;
// Status-bar part edges from the right edge of the client area.
constexpr int ActivityPartGap = 350, DomainPartGap = 150;

struct ChildWindow {
  const char* Class;
  const char* Text;
  DWORD Style;
  int X, Y, Width, Height;
};

// The windows' classes, texts, styles and creation rectangles.
constexpr DWORD MainStyle = WS_OVERLAPPEDWINDOW;                                  // 00CF0000
constexpr DWORD StatusStyle = WS_CHILD | WS_VISIBLE | WS_BORDER;                  // 50800000
constexpr DWORD ToolbarStyle = WS_CHILD | WS_VISIBLE | WS_BORDER | TBSTYLE_FLAT;  // 50800800
constexpr DWORD PaneStyle = WS_CHILD | WS_BORDER | WS_VSCROLL | WS_HSCROLL | WS_TABSTOP | ES_MULTILINE |
                            ES_AUTOVSCROLL | ES_AUTOHSCROLL;  // 40B100C4
// Every figure in pixels at 96 DPI; the windows scale them by their DPI.
constexpr ChildWindow LabelWindow{"static", "Domain:", WS_CHILD | WS_VISIBLE, 5, 2, 60, 15};
constexpr ChildWindow GoWindow{"BUTTON", "Go", WS_CHILD | WS_VISIBLE, 200, 2, 30, 20};

// The main window's DPI: the program is system DPI aware, so it is the
// screen's at start-up and stays so for the whole run.
int WindowDpi = BaseDpi;

int ReadScreenDpi() {
  ScopedWindowDC dc(nullptr);
  const int dpi = dc.Get() ? GetDeviceCaps(dc.Get(), LOGPIXELSX) : 0;
  return dpi > 0 ? dpi : BaseDpi;
}

HWND CreateChild(const ChildWindow& w, HWND parent, int id, HINSTANCE instance) {
  return CreateWindowExA(0, w.Class, w.Text, w.Style, ScaleForDpi(w.X), ScaleForDpi(w.Y), ScaleForDpi(w.Width),
                         ScaleForDpi(w.Height), parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance,
                         nullptr);
}

void Fail(const MessageBoxText& message) { ShowMessage(nullptr, message); }

// A Unicode window, so that its title shows a query in any script (an ANSI
// window would keep only what the code page holds).
void RegisterMainClass(HINSTANCE instance) {
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = MainWindowProc;
  windowClass.hInstance = instance;
  windowClass.hIcon = LoadIconW(instance, L"IconApp");
  windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  windowClass.hbrBackground = GetSysColorBrush(COLOR_MENU);
  windowClass.lpszMenuName = MAKEINTRESOURCEW(IDR_MAINMENU);
  windowClass.lpszClassName = MainWindowClassW;
  RegisterClassW(&windowClass);  // a second creation in one process finds it registered
}

void ToggleOption(std::atomic<int>& flag, int command) {
  flag = flag == 0 ? 1 : 0;
  CheckMenuItem(GetMenu(Ui.Main), static_cast<UINT>(command), MF_BYCOMMAND | (flag ? MF_CHECKED : MF_UNCHECKED));
}

// Close box, Exit and the end of the session: the worker is told to quit, the
// settings are written, and the window goes at once, even while a lookup
// still runs; start-up waits for the worker only after the windows are gone.
void CloseSequence(HWND window) {
  RequestQuit();
  SaveSettings();
  DestroyWindow(window);
}

void OnCommand(HWND window, WPARAM wParam) {
  switch (LOWORD(wParam)) {
    case IDM_EXIT: SendMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0); break;
    case IDM_SAVEAS:
      // Ctrl+S arrives here whatever the menu shows; it acts only as the menu would.
      if (!(GetMenuState(GetMenu(window), IDM_SAVEAS, MF_BYCOMMAND) & (MF_GRAYED | MF_DISABLED)))
        SaveOutputAs(window, Ui.Pane);
      break;
    case IDM_LOOKUPAGAIN: RequestLookup(); break;
    case IDM_FIND: ShowFindDialog(window); break;
    case IDM_FINDNEXT: FindNext(window); break;
    case IDM_GOTOQUERY:
      SetFocus(Ui.QueryEdit);
      SendMessageA(Ui.QueryEdit, EM_SETSEL, 0, -1);
      break;
    case IDM_COPY: SendMessageA(Ui.Pane, WM_COPY, 0, 0); break;
    case IDM_SELECTALL: SendMessageA(Ui.Pane, EM_SETSEL, 0, -1); break;
    case IDM_RESOLVEDOMAINS: ToggleOption(Settings.ResolveDomain, IDM_RESOLVEDOMAINS); break;
    case IDM_REVERSEIP: ToggleOption(Settings.ReverseIP, IDM_REVERSEIP); break;
    case IDM_ABUSEINFO: ToggleOption(Settings.GetAbuseInfo, IDM_ABUSEINFO); break;
    case IDM_PREFERRDAP: ToggleOption(Settings.PreferRDAP, IDM_PREFERRDAP); break;
    case IDM_PROXY:
      if (!ShowProxyPreferences(window)) ShowMessage(nullptr, Messages::ProxyDialogFailed);
      break;
    case IDM_FONT: ChooseOutputFont(window, Ui.Pane); break;
    case IDM_ABOUT: ShowAboutBox(window); break;
    case IDC_GO:
      RequestLookup();
      SetFocus(Ui.QueryEdit);
      break;
  }
}

LRESULT OnMessageFilter(const MSGFILTER& filter) {
  if (filter.msg == WM_RBUTTONDOWN) {
    POINT point{static_cast<LONG>(LOWORD(filter.lParam)), static_cast<LONG>(HIWORD(filter.lParam))};
    ClientToScreen(filter.nmhdr.hwndFrom, &point);
    TrackPopupMenu(GetSubMenu(GetMenu(Ui.Main), EditMenuPosition), 0, point.x, point.y, 0, Ui.Main, nullptr);
  } else if (filter.msg == WM_KEYDOWN && filter.wParam == VK_TAB) {
    SetFocus(Ui.Query);
  }
  return 0;  // the pane still handles the message itself
}

// Wine's rich edit never reports SEL_EMPTY (it adds SEL_MULTICHAR to an empty
// range), so an empty range counts as empty too.
void OnSelectionChange(const SELCHANGE& change) {
  const bool empty = change.seltyp == SEL_EMPTY || change.chrg.cpMin == change.chrg.cpMax;
  EnableMenuItem(GetMenu(Ui.Main), IDM_COPY, MF_BYCOMMAND | (empty ? MF_GRAYED : MF_ENABLED));
}

LRESULT OnNotify(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  const auto* header = reinterpret_cast<const NMHDR*>(lParam);
  if (header->hwndFrom == Ui.Pane) {
    switch (header->code) {
      case EN_MSGFILTER: return OnMessageFilter(*reinterpret_cast<const MSGFILTER*>(lParam));
      case EN_SELCHANGE: OnSelectionChange(*reinterpret_cast<const SELCHANGE*>(lParam)); break;
      case EN_LINK: return OnPaneLink(window, Ui.Pane, reinterpret_cast<const ENLINK*>(lParam));
    }
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

LRESULT OnGetMinMaxInfo(LPARAM lParam) {
  auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
  info->ptMinTrackSize.x = ScaleForDpi(MinimumWidth);
  info->ptMinTrackSize.y = ScaleForDpi(MinimumHeight);
  return 0;
}

void OnDestroy() {
  WindowsAlive = false;
  PostQuitMessage(0);
}

void OnEnableSaveAs() { EnableMenuItem(GetMenu(Ui.Main), IDM_SAVEAS, MF_BYCOMMAND | MF_ENABLED); }

}  // namespace

int ScaleForDpi(int pixels) { return MulDiv(pixels, WindowDpi, BaseDpi); }

bool TranslateMainWindowKeys(MSG* message) {
  if (IsFindDialogMessage(message)) return true;
  static HACCEL keys = LoadAcceleratorsA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_ACCELERATORS));
  return keys && IsWindow(Ui.Main) && TranslateAcceleratorW(Ui.Main, keys, message);
}

void LayoutMainWindow() {
  SendMessageA(Ui.Toolbar, TB_AUTOSIZE, 0, 0);
  RECT client{};
  GetClientRect(Ui.Main, &client);
  const int width = client.right, height = client.bottom;
  Ui.PartEdges[0] = width - ScaleForDpi(ActivityPartGap);
  Ui.PartEdges[1] = width - ScaleForDpi(DomainPartGap);
  Ui.PartEdges[2] = width;
  SendMessageA(Ui.StatusBar, SB_SETPARTS, 3, reinterpret_cast<LPARAM>(Ui.PartEdges));
  RECT status{}, toolbar{};
  GetClientRect(Ui.StatusBar, &status);
  GetClientRect(Ui.Toolbar, &toolbar);
  MoveWindow(Ui.Pane, 0, toolbar.bottom, width, height - status.bottom - toolbar.bottom, TRUE);
  // The status bar places itself along the bottom edge whatever it is given.
  MoveWindow(Ui.StatusBar, -100, -10, 10, 10, TRUE);
  // The widths come from the scaled edges, so that rounding never moves an
  // edge: the query box ends 45 and the button 5 pixels (at 96 DPI) short of
  // the right edge.
  const int queryLeft = ScaleForDpi(70), queryRight = width - ScaleForDpi(45);
  const int goLeft = width - ScaleForDpi(40), goRight = width - ScaleForDpi(5);
  MoveWindow(Ui.Query, queryLeft, 0, queryRight - queryLeft, ScaleForDpi(15), TRUE);
  MoveWindow(Ui.Go, goLeft, 0, goRight - goLeft, ScaleForDpi(23), TRUE);
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_DESTROY: OnDestroy(); break;
    case WM_SIZE: LayoutMainWindow(); break;
    case WM_CLOSE: CloseSequence(window); return 0;  // the window is gone: nothing is left for the default handling
    case WM_QUERYENDSESSION: CloseSequence(window); return TRUE;
    case WM_GETMINMAXINFO: return OnGetMinMaxInfo(lParam);
    case WM_ERASEBKGND: return 0;  // the children cover the whole client area
    case WM_SETFOCUS: SetFocus(Ui.QueryEdit); break;
    case WM_NOTIFY: return OnNotify(window, message, wParam, lParam);
    case WM_COPYDATA:
      AcceptSharedQuery(reinterpret_cast<HWND>(wParam), reinterpret_cast<const COPYDATASTRUCT*>(lParam));
      break;
    case WM_COMMAND: OnCommand(window, wParam); break;
    case WM_APP_APPEND:
      AppendToPane(Ui.Pane, static_cast<int>(wParam), reinterpret_cast<const char*>(lParam));
      return 0;
    case WM_APP_CLEAR:
      Ui.Pane = ClearPane(Ui.Pane);
      EnableMenuItem(GetMenu(window), IDM_COPY, MF_BYCOMMAND | MF_GRAYED);  // nothing left to copy
      return 0;
    case WM_APP_ENABLE_SAVEAS: OnEnableSaveAs(); return 0;
  }
  if (message == FindMessageId() && message != 0) {
    OnFindMessage(window, lParam);
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

int CreateMainWindows(HINSTANCE instance) {
  RegisterMainClass(instance);
  InitCommonControls();

  Ui = MainWindowHandles{};
  WindowDpi = ReadScreenDpi();  // a system-DPI-aware window has the screen's
  Ui.Main = CreateWindowExA(0, MainWindowClass, MainWindowTitle, MainStyle, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                            CW_USEDEFAULT, nullptr, nullptr, instance, nullptr);
  if (!Ui.Main) return Fail(Messages::MainWindowFailed), 1;
  Ui.StatusBar = CreateWindowExA(0, STATUSCLASSNAMEA, "", StatusStyle, -100, -100, 10, 10, Ui.Main,
                                 reinterpret_cast<HMENU>(IDC_STATUSBAR), instance, nullptr);
  if (!Ui.StatusBar) return Fail(Messages::StatusBarFailed), 1;
  Ui.Toolbar = CreateToolbarEx(Ui.Main, ToolbarStyle, 0, 0, nullptr, 0, nullptr, 0, 0, 0, 0, 0, sizeof(TBBUTTON));
  if (!Ui.Toolbar) return Fail(Messages::ToolbarFailed), 1;
  Ui.Pane = CreateWindowExA(0, "RichEdit20A", "", PaneStyle, 0, 0, 0, 0, Ui.Main, nullptr, instance, nullptr);
  if (!Ui.Pane) return Fail(Messages::PaneFailed), 1;

  Ui.Label = CreateChild(LabelWindow, Ui.Toolbar, 0, instance);
  CreateQueryBox(Ui.Toolbar, instance);
  Ui.Go = CreateChild(GoWindow, Ui.Toolbar, IDC_GO, instance);

  ConfigureOutputPane(Ui.Pane);
  // Any edges do until the first layout pass, which runs when the window shows.
  Ui.PartEdges[0] = 100;
  Ui.PartEdges[1] = 200;
  Ui.PartEdges[2] = -1;
  SendMessageA(Ui.StatusBar, SB_SETPARTS, 3, reinterpret_cast<LPARAM>(Ui.PartEdges));
  SendMessageA(Ui.StatusBar, SB_SETTEXTA, ActivityPart, reinterpret_cast<LPARAM>("Ready..."));
  SendMessageA(Ui.StatusBar, SB_SETTEXTA, DomainPart, reinterpret_cast<LPARAM>("Domain:"));
  SendMessageA(Ui.StatusBar, SB_SETTEXTA, AddressPart, reinterpret_cast<LPARAM>("IP:"));
  NotifyMessageId = RegisterWindowMessageA(NotifyMessageName);
  WindowsAlive = true;
  ShowWindow(Ui.Pane, SW_SHOWNORMAL);
  ShowWindow(Ui.Main, SW_SHOWNORMAL);
  return 0;
}
