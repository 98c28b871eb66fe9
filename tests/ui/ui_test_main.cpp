// The in-process UI tests: the main window is made as start-up makes it, with
// the window sink installed and the worker running, then the tests run on the
// thread that owns the windows.
#include <gtest/gtest.h>

#include <windows.h>
#include <richedit.h>

#include <cstdio>
#include <cwchar>
#include <fstream>
#include <future>
#include <sstream>
#include <thread>

#include "platform/sockets.h"
#include "settings/settings.h"
#include "tests/ui/ui_test_support.h"
#include "ui/controls.h"
#include "ui/lookup_thread.h"
#include "ui/main_window.h"
#include "ui/settings_window.h"
#include "ui/wide_text.h"
#include "ui/window_sink.h"

void Pump(unsigned milliseconds) {
  PumpUntil([] { return false; }, milliseconds);
}

bool PumpUntil(const std::function<bool()>& done, unsigned milliseconds) {
  const DWORD end = GetTickCount() + milliseconds;
  for (;;) {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) continue;  // a test destroyed the windows
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
    if (done()) return true;
    if (static_cast<LONG>(GetTickCount() - end) >= 0) return done();
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
}

bool RunAsWorker(const std::function<void()>& work, unsigned milliseconds) {
  auto finished = std::make_shared<std::promise<void>>();
  std::future<void> ended = finished->get_future();
  std::thread([work, finished] {
    work();
    finished->set_value();
  }).detach();
  return PumpUntil([&] { return ended.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }, milliseconds);
}

void RecreateMainWindows() {
  ASSERT_EQ(CreateMainWindows(GetModuleHandleA(nullptr)), 0);
  LoadSettings();
  Pump(50);
}

std::string WindowText(HWND window) {
  wchar_t text[1024] = L"";
  GetWindowTextW(window, text, 1024);
  return Utf8FromWide(text, wcslen(text));
}

std::wstring PaneWideText() {
  GETTEXTLENGTHEX lengthQuery{GTL_USECRLF | GTL_PRECISE | GTL_NUMCHARS, 1200};
  const LRESULT n = SendMessageA(Ui.Pane, EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&lengthQuery), 0);
  std::wstring text(static_cast<size_t>(n) + 1, L'\0');
  GETTEXTEX query{};
  query.cb = static_cast<DWORD>(text.size() * sizeof(wchar_t));
  query.flags = GT_USECRLF;
  query.codepage = 1200;
  const LRESULT m = SendMessageA(Ui.Pane, EM_GETTEXTEX, reinterpret_cast<WPARAM>(&query),
                                 reinterpret_cast<LPARAM>(&text[0]));
  text.resize(static_cast<size_t>(m > 0 ? m : 0));
  return text;
}

std::string PaneText() { return Utf8FromWide(PaneWideText()); }

void WriteSettingsFile(const std::string& text) {
  const std::string path = SettingsFilePath();
  std::remove(path.c_str());
  if (!text.empty()) std::ofstream(path, std::ios::binary) << text;
}

std::string ReadSettingsFile() {
  std::ifstream in(SettingsFilePath(), std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

namespace {

std::vector<std::string>* ShownBoxes = nullptr;
HHOOK BoxHook = nullptr;

// A box being activated is read and told to close; its own loop then ends.
LRESULT CALLBACK CloseBoxes(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_ACTIVATE && ShownBoxes) {
    auto box = reinterpret_cast<HWND>(wParam);
    char name[16] = "";
    GetClassNameA(box, name, sizeof name);
    if (std::string(name) == "#32770") {
      wchar_t text[1024] = L"";
      GetDlgItemTextW(box, 0xFFFF, text, 1024);  // the box's message label
      ShownBoxes->push_back(WindowText(box) + ": " + Utf8FromWide(text, wcslen(text)));
      PostMessageA(box, WM_COMMAND, IDCANCEL, 0);  // OK-only boxes take it as OK
    }
  }
  return CallNextHookEx(BoxHook, code, wParam, lParam);
}

}  // namespace

std::vector<std::string> BoxesShownBy(const std::function<void()>& action) {
  std::vector<std::string> boxes;
  ShownBoxes = &boxes;
  BoxHook = SetWindowsHookExA(WH_CBT, CloseBoxes, nullptr, GetCurrentThreadId());
  action();
  UnhookWindowsHookEx(BoxHook);
  BoxHook = nullptr;
  ShownBoxes = nullptr;
  return boxes;
}

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  if (testing::GTEST_FLAG(list_tests)) return RUN_ALL_TESTS();
  if (!platform::StartSockets()) return 1;
  HMODULE richEdit = LoadLibraryExA("RICHED20.DLL", nullptr, 0);
  WriteSettingsFile("");  // every test program starts from the defaults
  if (!richEdit || CreateMainWindows(GetModuleHandleA(nullptr)) != 0) {
    std::fprintf(stderr, "the main window could not be made (is DISPLAY an X server?)\n");
    return 1;
  }
  SetOutputSink(&TheWindowSink);
  StartLookupWorker();
  LoadSettings();
  Pump(100);
  const int result = RUN_ALL_TESTS();
  RequestQuit();
  if (IsWindow(Ui.Main)) DestroyWindow(Ui.Main);
  Pump(50);
  StopLookupWorker();
  SetOutputSink(nullptr);
  FreeLibrary(richEdit);
  platform::StopSockets();
  return result;
}
