#include "ui/query_box.h"

#include "engine/lookup_worker.h"
#include "ui/controls.h"

namespace {

LRESULT PassOn(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return CallWindowProcA(Ui.QueryEditProc, window, message, wParam, lParam);
}

LRESULT OnKeyDown(HWND window, WPARAM key, LPARAM lParam) {
  switch (key) {
    case VK_RETURN:
      RequestLookup();
      return 0;  // swallowed: the combo box would otherwise close its list and beep
    case VK_ESCAPE:
      RequestAbort();
      break;
    case VK_TAB:
      SetFocus(Ui.Pane);
      break;
  }
  return PassOn(window, WM_KEYDOWN, key, lParam);
}

// The characters of those keys would only beep in a single-line edit.
LRESULT OnChar(HWND window, WPARAM character, LPARAM lParam) {
  if (character == '\r' || character == 27 || character == '\t') return 0;
  return PassOn(window, WM_CHAR, character, lParam);
}

}  // namespace

LRESULT CALLBACK QueryEditProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_KEYDOWN: return OnKeyDown(window, wParam, lParam);
    case WM_CHAR: return OnChar(window, wParam, lParam);
    default: return PassOn(window, message, wParam, lParam);
  }
}
