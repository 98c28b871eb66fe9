// The console of a command-line front end: Ctrl-C, terminals and the byte
// stream of standard output.
#pragma once
#include <atomic>
#include <cstdio>

namespace platform {

// The first Ctrl-C (or Ctrl-Break) sets `cancel` to 1; one more while it is
// still 1 ends the process at once with exit status 130. Blocking calls are
// not restarted, so a wait notices the flag promptly.
void CatchInterrupts(std::atomic<int>& cancel);

// True when `stream` is a terminal (a console on Windows).
bool IsTerminal(std::FILE* stream);

// Asks the terminal to understand ANSI colour escapes; false where it cannot
// (an older Windows console), and then none should be written.
bool EnableTerminalEscapes(std::FILE* stream);

// Bytes go out as written: no line-end translation by the C library (Windows).
void UseBinaryOutput(std::FILE* stream);

}  // namespace platform
