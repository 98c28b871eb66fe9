#include "ui/window_sink.h"

#include <commctrl.h>

#include "ui/controls.h"
#include "ui/query_box.h"
#include "ui/recent_list.h"

WindowSink TheWindowSink;

// A message to a window that has been destroyed fails at once; the flag keeps
// a finishing worker from even trying once the close has begun.
void WindowSink::ClearOutput() {
  if (WindowsAlive) SendMessageA(Ui.Main, WM_APP_CLEAR, 0, 0);
}

void WindowSink::AppendOutput(TextKind kind, const char* text) {
  if (WindowsAlive) SendMessageA(Ui.Main, WM_APP_APPEND, static_cast<WPARAM>(kind), reinterpret_cast<LPARAM>(text));
}

void WindowSink::SetStatus(int part, const char* text) {
  if (WindowsAlive) SendMessageA(Ui.StatusBar, SB_SETTEXTA, static_cast<WPARAM>(part), reinterpret_cast<LPARAM>(text));
}

void WindowSink::SetInputLocked(bool locked) {
  if (WindowsAlive) SendMessageA(Ui.QueryEdit, EM_SETREADONLY, locked ? TRUE : FALSE, 0);
}

int WindowSink::ReadQueryText(char* buffer, int capacity) {
  if (capacity <= 0) return 0;
  buffer[0] = '\0';
  if (!WindowsAlive) return 0;
  const LRESULT n = SendMessageA(Ui.QueryEdit, WM_GETTEXT, static_cast<WPARAM>(capacity), reinterpret_cast<LPARAM>(buffer));
  if (n <= 0 || n >= capacity) {  // a window destroyed meanwhile answers 0
    buffer[n > 0 ? capacity - 1 : 0] = '\0';
    return n > 0 ? capacity - 1 : 0;
  }
  return static_cast<int>(n);
}

int WindowSink::ReadQueryTextUtf8(char* buffer, int capacity) {
  if (capacity > 0) buffer[0] = '\0';
  return WindowsAlive ? ReadQueryBoxUtf8(buffer, capacity) : 0;
}

void WindowSink::SelectQueryText() {
  if (WindowsAlive) SendMessageA(Ui.QueryEdit, EM_SETSEL, 0, -1);
}

void WindowSink::SetMainTitle(const char* text) {
  if (WindowsAlive) SendMessageA(Ui.Main, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
}

void WindowSink::EnableSaveAs() {
  if (WindowsAlive) SendMessageA(Ui.Main, WM_APP_ENABLE_SAVEAS, 0, 0);
}

void WindowSink::ShareRecentQuery(const char* text) {
  if (WindowsAlive) ::ShareRecentQuery(text);
}
