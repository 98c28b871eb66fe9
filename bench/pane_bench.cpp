// The Windows program's output pane under load, in the fake internet that
// bench/pane-bench.sh sets up (fake whois servers for example.com's five steps,
// a 1 MB reply for example.org). Windows only; under Wine it needs an X display.
//   pane_bench.exe merrowgate-cli.exe SETTINGS_FILE [runs]
// Prints, each the median of the runs:
//   - the five-step lookup of example.com by merrowgate-cli.exe (a process of
//     its own, output to NUL) and by the window (Enter to "Ready...");
//   - the 1 MB reply in the window, and the same text set into a fresh pane
//     with one WM_SETTEXT;
//   - the five-step lookup right after the 1 MB reply (the pane cleared first).
#include <windows.h>

#include <richedit.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/sockets.h"
#include "settings/settings.h"
#include "ui/controls.h"
#include "ui/lookup_thread.h"
#include "ui/main_window.h"
#include "ui/output_pane.h"
#include "ui/settings_window.h"
#include "ui/window_sink.h"

namespace {

// The window sink, noting when a lookup reports "Ready...".
class TimingSink final : public OutputSink {
 public:
  std::atomic<bool> Ready{false};
  void ClearOutput() override { TheWindowSink.ClearOutput(); }
  void AppendOutput(TextKind kind, const char* text) override { TheWindowSink.AppendOutput(kind, text); }
  void SetStatus(int part, const char* text) override {
    TheWindowSink.SetStatus(part, text);
    if (part == 0 && std::strcmp(text, "Ready...") == 0) Ready = true;
  }
  void SetInputLocked(bool locked) override { TheWindowSink.SetInputLocked(locked); }
  int ReadQueryText(char* buffer, int capacity) override { return TheWindowSink.ReadQueryText(buffer, capacity); }
  void SelectQueryText() override { TheWindowSink.SelectQueryText(); }
  void SetMainTitle(const char* text) override { TheWindowSink.SetMainTitle(text); }
  void EnableSaveAs() override { TheWindowSink.EnableSaveAs(); }
  void ShareRecentQuery(const char*) override {}  // no other copies to tell
};
TimingSink Sink;

double Now() {
  LARGE_INTEGER frequency, now;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&now);
  return 1000.0 * static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Dispatches messages until `done` or the time is up.
template <typename Done>
bool PumpUntil(Done done, double milliseconds) {
  const double end = Now() + milliseconds;
  for (;;) {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    if (done()) return true;
    if (Now() > end) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 1, QS_ALLINPUT);
  }
}

// A lookup as Enter starts it; the time to "Ready...", or -1.
double WindowLookup(const char* query) {
  SetWindowTextA(Ui.QueryEdit, query);
  Sink.Ready = false;
  const double start = Now();
  RequestLookup();
  if (!PumpUntil([] { return Sink.Ready.load(); }, 600000)) return -1;
  const double took = Now() - start;
  PumpUntil([] { return false; }, 200);  // the last drawing and the worker's last steps
  return took;
}

double CliLookup(const std::string& command) {
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE nul = CreateFileA("NUL", GENERIC_WRITE, FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0, nullptr);
  startup.hStdOutput = startup.hStdError = nul;
  startup.hStdInput = nullptr;
  PROCESS_INFORMATION process{};
  std::vector<char> line(command.begin(), command.end());
  line.push_back('\0');
  const double start = Now();
  double took = -1;
  if (CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process)) {
    WaitForSingleObject(process.hProcess, 60000);
    took = Now() - start;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
  CloseHandle(nul);
  return took;
}

std::string PaneText(HWND pane) {
  GETTEXTLENGTHEX lengthQuery{GTL_USECRLF, CP_ACP};
  const LRESULT n = SendMessageA(pane, EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&lengthQuery), 0);
  std::string text(static_cast<size_t>(n > 0 ? n : 0) + 1, '\0');
  GETTEXTEX query{};
  query.cb = static_cast<DWORD>(text.size());
  query.flags = GT_USECRLF;
  query.codepage = CP_ACP;
  const LRESULT m = SendMessageA(pane, EM_GETTEXTEX, reinterpret_cast<WPARAM>(&query),
                                 reinterpret_cast<LPARAM>(&text[0]));
  text.resize(static_cast<size_t>(m > 0 ? m : 0));
  return text;
}

// One WM_SETTEXT of the text into a fresh pane like the program's.
double SetTextOnce(const std::string& text) {
  RECT area;
  GetClientRect(Ui.Main, &area);
  HWND pane = CreateWindowExA(
      0, "RichEdit20A", "",
      WS_CHILD | WS_VISIBLE | WS_BORDER | WS_VSCROLL | WS_HSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_AUTOHSCROLL, 0,
      0, area.right, area.bottom, Ui.Main, nullptr, GetModuleHandleA(nullptr), nullptr);
  if (!pane) return -1;
  ConfigureOutputPane(pane);
  SendMessageA(pane, EM_SETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&Settings.OutputFormat));
  const double start = Now();
  SendMessageA(pane, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
  UpdateWindow(pane);
  const double took = Now() - start;
  DestroyWindow(pane);
  return took;
}

double Median(std::vector<double> times) {
  std::sort(times.begin(), times.end());
  return times.empty() ? -1 : times[times.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::puts("usage: pane_bench.exe merrowgate-cli.exe SETTINGS_FILE [runs]");
    return 2;
  }
  const std::string cli = std::string("\"") + argv[1] + "\" --settings \"" + argv[2] + "\" --color=never example.com";
  const int runs = argc > 3 ? std::max(1, std::atoi(argv[3])) : 5;
  if (!platform::StartSockets() || !LoadLibraryA("RICHED20.DLL")) return 1;
  if (CreateMainWindows(GetModuleHandleA(nullptr)) != 0) {
    std::puts("no window (is DISPLAY an X server?)");
    return 1;
  }
  LoadSettings();
  Settings.ResolveDomain = 1;  // the five steps, as merrowgate-cli's settings file has them
  Settings.ReverseIP = 1;
  Settings.GetAbuseInfo = 1;
  SetOutputSink(&Sink);
  StartLookupWorker();
  PumpUntil([] { return false; }, 300);

  std::setvbuf(stdout, nullptr, _IONBF, 0);
  std::vector<double> cliTimes, windowTimes, bigTimes, setTimes, afterTimes;
  CliLookup(cli);  // warm-up: the first process of a Wine prefix is slower
  WindowLookup("example.com");
  size_t bigBytes = 0;
  for (int run = 0; run < runs; ++run) {
    cliTimes.push_back(CliLookup(cli));
    windowTimes.push_back(WindowLookup("example.com"));
    bigTimes.push_back(WindowLookup("example.org"));
    const std::string shown = PaneText(Ui.Pane);
    bigBytes = shown.size();
    afterTimes.push_back(WindowLookup("example.com"));
    setTimes.push_back(SetTextOnce(shown));
    std::printf("run %d: cli %.0f, window %.0f, reply %.0f, after it %.0f, WM_SETTEXT %.0f\n", run + 1, cliTimes.back(),
                windowTimes.back(), bigTimes.back(), afterTimes.back(), setTimes.back());
  }

  const double cliMs = Median(cliTimes), windowMs = Median(windowTimes), bigMs = Median(bigTimes),
               setMs = Median(setTimes), afterMs = Median(afterTimes);
  std::printf("runs: %d (medians, ms)\n", runs);
  std::printf("five-step lookup, merrowgate-cli.exe: %.0f\n", cliMs);
  std::printf("five-step lookup, window:             %.0f (%.2fx)\n", windowMs, windowMs / cliMs);
  std::printf("%zu-byte reply, window:           %.0f\n", bigBytes, bigMs);
  std::printf("the same text, one WM_SETTEXT:        %.0f (window %.2fx)\n", setMs, bigMs / setMs);
  std::printf("five-step lookup after that reply:    %.0f\n", afterMs);

  RequestQuit();
  DestroyWindow(Ui.Main);
  PumpUntil([] { return false; }, 50);
  StopLookupWorker();
  SetOutputSink(nullptr);
  platform::StopSockets();
  return 0;
}
