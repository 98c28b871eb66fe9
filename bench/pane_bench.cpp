// How long the output pane takes to show a long reply: the program's own path
// (the reply in 4000-byte chunks, each split into plain and e-mail pieces,
// each piece appended at the end in its colour) against one WM_SETTEXT of the
// same text. Windows only; under Wine it needs an X display.
//   pane_bench.exe [megabytes]
#include <windows.h>

#include <richedit.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "engine/whois_exchange.h"
#include "net/output_sink.h"
#include "ui/output_pane.h"

namespace {

// The windowed sink's effect, without the cross-thread hop.
class PaneSink final : public QuietSink {
 public:
  explicit PaneSink(HWND pane) : pane_(pane) {}
  void AppendOutput(TextKind kind, const char* text) override { AppendToPane(pane_, kind, text); }

 private:
  HWND pane_;
};

double Milliseconds(LARGE_INTEGER from, LARGE_INTEGER to) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return 1000.0 * static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

HWND MakePane(HWND parent) {
  HWND pane = CreateWindowExA(0, "RichEdit20A", "",
                              WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_HSCROLL | ES_MULTILINE | ES_AUTOVSCROLL |
                                  ES_AUTOHSCROLL,
                              0, 0, 760, 500, parent, nullptr, GetModuleHandleA(nullptr), nullptr);
  if (pane) ConfigureOutputPane(pane);
  return pane;
}

void Pump() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
}

}  // namespace

int main(int argc, char** argv) {
  const int megabytes = argc > 1 ? std::atoi(argv[1]) : 5;
  if (!LoadLibraryA("RICHED20.DLL")) {
    std::puts("no rich edit library");
    return 1;
  }
  HWND main = CreateWindowExA(0, "STATIC", "pane bench", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 800, 600,
                              nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  if (!main) {
    std::puts("no window (is DISPLAY an X server?)");
    return 1;
  }

  // Whois-like lines, one e-mail word in every fourth.
  std::string reply;
  for (int i = 0; reply.size() < static_cast<size_t>(megabytes) * 1000000; ++i) {
    reply += i % 4 ? "Registrar URL: http://www.registrar.example/whois/" + std::to_string(i) + "\r\n"
                   : "Registrar Abuse Contact Email: abuse" + std::to_string(i) + "@registrar.example\r\n";
  }

  HWND appended = MakePane(main);
  PaneSink sink(appended);
  SetOutputSink(&sink);
  LARGE_INTEGER start, end;
  QueryPerformanceCounter(&start);
  char chunk[ExchangeBufferSize];
  for (size_t at = 0; at < reply.size(); at += ReceiveChunkSize) {
    const size_t n = reply.size() - at < ReceiveChunkSize ? reply.size() - at : ReceiveChunkSize;
    reply.copy(chunk, n, at);
    chunk[n] = '\0';
    EmitReplyChunk(chunk);
  }
  Pump();
  QueryPerformanceCounter(&end);
  const double appendMs = Milliseconds(start, end);
  SetOutputSink(nullptr);
  DestroyWindow(appended);

  HWND set = MakePane(main);
  QueryPerformanceCounter(&start);
  SendMessageA(set, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(reply.c_str()));
  Pump();
  QueryPerformanceCounter(&end);
  const double setMs = Milliseconds(start, end);

  std::printf("reply: %zu bytes in %zu chunks\n", reply.size(), (reply.size() + ReceiveChunkSize - 1) / ReceiveChunkSize);
  std::printf("append in pieces: %.0f ms\n", appendMs);
  std::printf("one WM_SETTEXT:   %.0f ms\n", setMs);
  std::printf("ratio: %.2f\n", appendMs / setMs);
  DestroyWindow(main);
  return 0;
}
