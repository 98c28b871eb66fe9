#include "ui/query_box.h"

#include "ui/controls.h"
#include "ui/lookup_thread.h"

namespace {

// The subclass is installed as a Unicode procedure: an ANSI one would have
// every character typed turned into the code page on its way through.
LRESULT PassOn(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return CallWindowProcW(Ui.QueryEditProc, window, message, wParam, lParam);
}

LRESULT OnKeyDown(HWND window, WPARAM key, LPARAM lParam) {
  switch (key) {
    case VK_RETURN: RequestLookup(); return 0;  // swallowed: the combo box would otherwise close its list and beep
    case VK_ESCAPE: RequestAbort(); break;
    case VK_TAB: SetFocus(Ui.Pane); break;
  }
  return PassOn(window, WM_KEYDOWN, key, lParam);
}

// The characters of those keys would only beep in a single-line edit.
LRESULT OnChar(HWND window, WPARAM character, LPARAM lParam) {
  if (character == '\r' || character == 27 || character == '\t') return 0;
  return PassOn(window, WM_CHAR, character, lParam);
}

}  // namespace

HWND CreateQueryBox(HWND parent, HINSTANCE instance) {
  constexpr DWORD Style = WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_TABSTOP | CBS_DROPDOWN;  // 50210002
  Ui.Query = CreateWindowExW(0, L"COMBOBOX", L"", Style, 50, 0, 150, 200, parent, nullptr, instance, nullptr);
  Ui.QueryEdit = GetWindow(Ui.Query, GW_CHILD);
  Ui.QueryEditProc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(Ui.QueryEdit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(QueryEditProc)));
  return Ui.Query;
}

int ReadQueryBoxUtf8(char* buffer, int capacity) {
  if (capacity <= 0) return 0;
  buffer[0] = '\0';
  constexpr int Characters = 1024;
  wchar_t text[Characters];
  const LRESULT n = SendMessageW(Ui.QueryEdit, WM_GETTEXT, Characters, reinterpret_cast<LPARAM>(text));
  if (n <= 0) return 0;  // also a window destroyed meanwhile
  text[n < Characters ? n : Characters - 1] = L'\0';
  // Up to three bytes for each UTF-16 unit; then cut where no character
  // continues, so that the cut text is still UTF-8.
  char utf8[Characters * 3 + 1];
  const int bytes = WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, sizeof utf8, nullptr, nullptr);
  if (bytes <= 1) return 0;
  int length = bytes - 1;
  if (length > capacity - 1) {
    length = capacity - 1;
    while (length > 0 && (static_cast<unsigned char>(utf8[length]) & 0xC0) == 0x80) --length;
  }
  CopyMemory(buffer, utf8, static_cast<SIZE_T>(length));
  buffer[length] = '\0';
  return length;
}

LRESULT CALLBACK QueryEditProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_KEYDOWN: return OnKeyDown(window, wParam, lParam);
    case WM_CHAR: return OnChar(window, wParam, lParam);
    default: return PassOn(window, message, wParam, lParam);
  }
}
