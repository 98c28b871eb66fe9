// The runtime entry: the command tail comes from the whole command line, so
// quotes and blanks inside the query stay exactly as typed.
#include <windows.h>

#include <string>

#include "ui/command_tail.h"
#include "ui/startup.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  GetStartupInfoA(&startup);
  const int show = (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : SW_SHOWDEFAULT;
  const std::string tail = CommandTailOf(GetCommandLineA());
  return RunApplication(instance, tail.c_str(), show);
}
