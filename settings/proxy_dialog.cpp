#include "settings/proxy_dialog.h"

#include "res/resource.h"
#include "settings/settings.h"

namespace {

constexpr int ProxyDialogTemplate = IDD_PROXY;
// The list positions are the ProxyType values.
const char* const ProxyTypeNames[] = {"HTTP", "Socks4", "Socks5"};

bool IsChecked(HWND dialog, int id) { return SendMessageA(GetDlgItem(dialog, id), BM_GETCHECK, 0, 0) == BST_CHECKED; }

void SetChecked(HWND dialog, int id, int flag) {
  SendMessageA(GetDlgItem(dialog, id), BM_SETCHECK, flag ? BST_CHECKED : BST_UNCHECKED, 0);
}

void Enable(HWND dialog, int id, bool on) { EnableWindow(GetDlgItem(dialog, id), on ? TRUE : FALSE); }

void CentreOver(HWND dialog, HWND window) {
  RECT outer{}, own{};
  if (!window || !GetWindowRect(window, &outer) || !GetWindowRect(dialog, &own)) return;
  const int width = own.right - own.left, height = own.bottom - own.top;
  const int x = (outer.left + outer.right) / 2 - width / 2;
  const int y = (outer.top + outer.bottom) / 2 - height / 2;
  SetWindowPos(dialog, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

INT_PTR OnInitDialog(HWND dialog, HWND mainWindow) {
  CentreOver(dialog, mainWindow);
  for (const char* name : ProxyTypeNames)
    SendDlgItemMessageA(dialog, IDC_PROXY_TYPE, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
  SendDlgItemMessageA(dialog, IDC_PROXY_TYPE, CB_SETCURSEL, static_cast<WPARAM>(Settings.Type.load()), 0);
  SetChecked(dialog, IDC_PROXY_ENABLED, Settings.Enabled);
  SetChecked(dialog, IDC_PROXY_USEAUTH, Settings.UseAuth);
  SetChecked(dialog, IDC_PROXY_RESOLVE, Settings.Resolve);
  SetChecked(dialog, IDC_PROXY_DEBUG, Settings.Debug);
  // The fields take no more than the settings keep, so what is typed is what
  // is stored.
  for (int id : {IDC_PROXY_HOST, IDC_PROXY_USER, IDC_PROXY_PASS})
    SendDlgItemMessageA(dialog, id, EM_LIMITTEXT, ProxyTextCapacity - 1, 0);
  SetDlgItemTextA(dialog, IDC_PROXY_HOST, Settings.Server);
  SetDlgItemTextA(dialog, IDC_PROXY_USER, Settings.Login);
  SetDlgItemTextA(dialog, IDC_PROXY_PASS, Settings.Pass);
  SetDlgItemInt(dialog, IDC_PROXY_PORT, static_cast<UINT>(Settings.Port.load()), FALSE);
  UpdateProxyControls(dialog, Settings.Enabled != 0, Settings.UseAuth != 0);
  return TRUE;  // the focus goes to the first enabled tab stop
}

// Greyed controls are stored too: they keep what they showed.
void StoreSettings(HWND dialog) {
  std::lock_guard<std::mutex> lock(ProxyOptionsLock);
  Settings.Type = static_cast<int>(SendDlgItemMessageA(dialog, IDC_PROXY_TYPE, CB_GETCURSEL, 0, 0));
  BOOL isNumber = FALSE;
  const UINT port = GetDlgItemInt(dialog, IDC_PROXY_PORT, &isNumber, FALSE);
  Settings.Port = isNumber ? static_cast<int>(port) : 0;
  Settings.Debug = IsChecked(dialog, IDC_PROXY_DEBUG) ? 1 : 0;
  Settings.Resolve = IsChecked(dialog, IDC_PROXY_RESOLVE) ? 1 : 0;
  GetDlgItemTextA(dialog, IDC_PROXY_HOST, Settings.Server, ProxyTextCapacity);
  GetDlgItemTextA(dialog, IDC_PROXY_USER, Settings.Login, ProxyTextCapacity);
  GetDlgItemTextA(dialog, IDC_PROXY_PASS, Settings.Pass, ProxyTextCapacity);
  Settings.Enabled = IsChecked(dialog, IDC_PROXY_ENABLED) ? 1 : 0;
  Settings.UseAuth = IsChecked(dialog, IDC_PROXY_USEAUTH) ? 1 : 0;
}

INT_PTR OnCommand(HWND dialog, WPARAM wParam) {
  const int id = LOWORD(wParam), code = HIWORD(wParam);
  if (((id == IDC_PROXY_ENABLED || id == IDC_PROXY_USEAUTH) && code == BN_CLICKED) ||
      (id == IDC_PROXY_TYPE && code == CBN_SELCHANGE)) {
    UpdateProxyControls(dialog, IsChecked(dialog, IDC_PROXY_ENABLED), IsChecked(dialog, IDC_PROXY_USEAUTH));
  } else if (id == IDOK) {
    StoreSettings(dialog);
    EndDialog(dialog, IDOK);
  } else if (id == IDCANCEL) {
    EndDialog(dialog, IDCANCEL);
  }
  return FALSE;
}

}  // namespace

// A SOCKS4 proxy takes a user name but no password.
void UpdateProxyControls(HWND dialog, bool proxyOn, bool authenticationOn) {
  const LRESULT type = SendDlgItemMessageA(dialog, IDC_PROXY_TYPE, CB_GETCURSEL, 0, 0);
  for (int id : {IDC_PROXY_TYPE, IDC_PROXY_TYPE_LABEL, IDC_PROXY_HOST_LABEL, IDC_PROXY_PORT_LABEL, IDC_PROXY_HOST,
                 IDC_PROXY_PORT, IDC_PROXY_DEBUG, IDC_PROXY_USEAUTH, IDC_PROXY_RESOLVE})
    Enable(dialog, id, proxyOn);
  const bool user = proxyOn && authenticationOn;
  Enable(dialog, IDC_PROXY_USER_LABEL, user);
  Enable(dialog, IDC_PROXY_USER, user);
  Enable(dialog, IDC_PROXY_PASS_LABEL, user && type != Socks4);
  Enable(dialog, IDC_PROXY_PASS, user && type != Socks4);
}

INT_PTR CALLBACK ProxyPreferencesDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: return OnInitDialog(dialog, reinterpret_cast<HWND>(lParam));
    case WM_COMMAND: return OnCommand(dialog, wParam);
    default: return FALSE;
  }
}

// No owner: the main window stays usable while the dialog is open. The main
// window travels as the dialog's parameter, for the centring only.
bool ShowProxyPreferences(HWND mainWindow) {
  auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(mainWindow, GWLP_HINSTANCE));
  return DialogBoxParamA(instance, MAKEINTRESOURCEA(ProxyDialogTemplate), nullptr, ProxyPreferencesDialog,
                         reinterpret_cast<LPARAM>(mainWindow)) >= 0;
}
