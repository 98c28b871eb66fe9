#include "ui/startup.h"

#include "platform/sockets.h"
#include "ui/command_tail.h"
#include "ui/controls.h"
#include "ui/lookup_thread.h"
#include "ui/main_window.h"
#include "ui/messages.h"
#include "ui/scoped_win.h"
#include "ui/settings_window.h"
#include "ui/wide_text.h"
#include "ui/window_sink.h"

namespace {

// Messages are taken in their Unicode form: an ANSI loop would put every
// character typed into the code page before the Unicode query box saw it.
// The ANSI windows get theirs converted by the system.
void RunMessageLoop() {
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (TranslateMainWindowKeys(&message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

// A worker request that was sent just before the windows went is still
// queued for this thread: answering it now (to a window that is gone, so it
// fails) lets the worker run on to its end instead of waiting for a reply
// that would never come.
void AnswerPendingRequests() {
  MSG message;
  PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE);
}

}  // namespace

int HandleCommandLine(const char* commandTail) {
  switch (ClassifyCommandTail(commandTail)) {
    case TailRequest::Usage:
      ShowMessage(nullptr, Messages::Usage);
      DestroyWindow(Ui.Main);
      return 0;
    case TailRequest::Lookup:
      // The whole tail, unchanged: further words and quotes are the query's.
      SendMessageW(Ui.QueryEdit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(WideFromUtf8(commandTail).c_str()));
      WakeLookupWorker();
      return 1;
    case TailRequest::None: break;
  }
  return 1;
}

int RunApplication(HINSTANCE instance, const char* commandTail, int /*showCommand: the windows show normally*/) {
  if (!platform::StartSockets()) {
    ShowMessage(nullptr, Messages::SocketsMissing);
    return 1;
  }
  // Held until the worker has ended: the pane's window class lives in it.
  ScopedLibrary richEdit(LoadLibraryExA("RICHED20.DLL", nullptr, 0));
  if (!richEdit) {
    ShowMessage(nullptr, Messages::RichEditMissing);
    platform::StopSockets();
    return 1;
  }
  if (CreateMainWindows(instance) != 0) {
    richEdit.Reset();
    platform::StopSockets();
    return 1;
  }
  SetOutputSink(&TheWindowSink);
  StartLookupWorker();
  LoadSettings();  // before any wake, so the first lookup sees the settings
  if (HandleCommandLine(commandTail)) RunMessageLoop();
  else RequestQuit();
  AnswerPendingRequests();
  StopLookupWorker();
  SetOutputSink(nullptr);
  richEdit.Reset();
  platform::StopSockets();
  return 0;
}
