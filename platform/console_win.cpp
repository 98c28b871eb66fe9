#include "platform/console.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

namespace platform {

namespace {

std::atomic<int>* InterruptFlag = nullptr;

BOOL WINAPI OnConsoleBreak(DWORD type) {
  if (type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT) return FALSE;
  if (InterruptFlag->exchange(1) == 1) ExitProcess(130);
  return TRUE;
}

HANDLE HandleOf(std::FILE* stream) { return reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream))); }

}  // namespace

void CatchInterrupts(std::atomic<int>& cancel) {
  InterruptFlag = &cancel;
  SetConsoleCtrlHandler(OnConsoleBreak, TRUE);
}

bool IsTerminal(std::FILE* stream) {
  DWORD mode;
  return GetConsoleMode(HandleOf(stream), &mode) != 0;
}

bool EnableTerminalEscapes(std::FILE* stream) {
  const HANDLE h = HandleOf(stream);
  DWORD mode;
  if (!GetConsoleMode(h, &mode)) return false;
  return SetConsoleMode(h, mode | 0x0004 /* ENABLE_VIRTUAL_TERMINAL_PROCESSING */) != 0;
}

// In text mode the C library would write a reply's CR LF as CR CR LF.
void UseBinaryOutput(std::FILE* stream) { _setmode(_fileno(stream), _O_BINARY); }

}  // namespace platform
