// The runtime entry: the command tail comes from the whole command line, so
// quotes and blanks inside the query stay exactly as typed.
#include <windows.h>

#include <cwchar>
#include <string>

#include "ui/command_tail.h"
#include "ui/startup.h"
#include "ui/wide_text.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  GetStartupInfoA(&startup);
  const int show = (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : SW_SHOWDEFAULT;
  // The Unicode command line: the ANSI one has "?" for every character the
  // code page lacks. The tail goes on as UTF-8, as every text of the program.
  const wchar_t* line = GetCommandLineW();
  const std::string tail = CommandTailOf(Utf8FromWide(line, line ? wcslen(line) : 0).c_str());
  return RunApplication(instance, tail.c_str(), show);
}
