// The windowed OutputSink: every operation is one synchronous message to a
// window of the UI thread, and none does anything once the windows are gone.
#pragma once
#include <windows.h>

#include "net/output_sink.h"

// Private messages of the main window, so that a multi-step operation runs as
// one unit on the UI thread.
constexpr UINT WM_APP_APPEND = WM_APP + 1;         // wParam kind, lParam text
constexpr UINT WM_APP_ENABLE_SAVEAS = WM_APP + 2;  // no parameters
constexpr UINT WM_APP_CLEAR = WM_APP + 3;          // no parameters

class WindowSink final : public OutputSink {
 public:
  void ClearOutput() override;
  void AppendOutput(TextKind kind, const char* text) override;
  void SetStatus(int part, const char* text) override;
  void SetInputLocked(bool locked) override;
  int ReadQueryText(char* buffer, int capacity) override;
  int ReadQueryTextUtf8(char* buffer, int capacity) override;
  void SelectQueryText() override;
  void SetMainTitle(const char* text) override;
  void EnableSaveAs() override;
  void ShareRecentQuery(const char* text) override;
};

extern WindowSink TheWindowSink;
