// The program as a whole: start-up in order, the command tail, the message
// loop and the orderly end. The result is the process exit code.
#pragma once
#include <windows.h>

// The command tail is UTF-8.
int RunApplication(HINSTANCE instance, const char* commandTail, int showCommand);
// 1: go on and run the message loop; 0: stop (the usage box was shown).
int HandleCommandLine(const char* commandTail);
