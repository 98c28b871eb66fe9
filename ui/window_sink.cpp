#include "ui/window_sink.h"

#include <commctrl.h>

#include <string>

#include "ui/controls.h"
#include "ui/query_box.h"
#include "ui/recent_list.h"
#include "ui/wide_text.h"

WindowSink TheWindowSink;

// A message to a window that has been destroyed fails at once; the flag keeps
// a finishing worker from even trying once the close has begun.
void WindowSink::ClearOutput() {
  if (WindowsAlive) SendMessageA(Ui.Main, WM_APP_CLEAR, 0, 0);
}

void WindowSink::AppendOutput(TextKind kind, const char* text) {
  if (WindowsAlive) SendMessageA(Ui.Main, WM_APP_APPEND, static_cast<WPARAM>(kind), reinterpret_cast<LPARAM>(text));
}

// Every text comes as UTF-8 and reaches the windows as UTF-16, so a name in
// any script shows as typed, whatever the ANSI code page.
void WindowSink::SetStatus(int part, const char* text) {
  if (!WindowsAlive) return;
  const std::wstring wide = WideFromUtf8(text);
  SendMessageW(Ui.StatusBar, SB_SETTEXTW, static_cast<WPARAM>(part), reinterpret_cast<LPARAM>(wide.c_str()));
}

void WindowSink::SetInputLocked(bool locked) {
  if (WindowsAlive) SendMessageA(Ui.QueryEdit, EM_SETREADONLY, locked ? TRUE : FALSE, 0);
}

// The query as UTF-8 in both forms: the box is a Unicode window.
int WindowSink::ReadQueryText(char* buffer, int capacity) { return ReadQueryTextUtf8(buffer, capacity); }

int WindowSink::ReadQueryTextUtf8(char* buffer, int capacity) {
  if (capacity > 0) buffer[0] = '\0';
  return WindowsAlive ? ReadQueryBoxUtf8(buffer, capacity) : 0;
}

void WindowSink::SelectQueryText() {
  if (WindowsAlive) SendMessageA(Ui.QueryEdit, EM_SETSEL, 0, -1);
}

void WindowSink::SetMainTitle(const char* text) {
  if (!WindowsAlive) return;
  const std::wstring wide = WideFromUtf8(text);
  SendMessageW(Ui.Main, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide.c_str()));
}

void WindowSink::EnableSaveAs() {
  if (WindowsAlive) SendMessageA(Ui.Main, WM_APP_ENABLE_SAVEAS, 0, 0);
}

void WindowSink::ShareRecentQuery(const char* text) {
  if (WindowsAlive) ::ShareRecentQuery(text);
}
