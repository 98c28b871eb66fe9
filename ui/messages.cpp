#include "ui/messages.h"

#include <string>

int ShowMessage(HWND owner, const MessageBoxText& message, const char* detail) {
  std::string text = message.Text ? message.Text : "";
  const size_t slot = text.find("%s");
  if (slot != std::string::npos) text.replace(slot, 2, detail ? detail : "");
  return MessageBoxA(owner, text.c_str(), message.Caption, message.Style);
}

void ShowSystemError(HWND owner, const MessageBoxText& message) {
  const DWORD code = GetLastError();
  char* text = nullptr;
  FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                 code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<char*>(&text), 0, nullptr);
  MessageBoxA(owner, text ? text : "", message.Caption, message.Style);
  if (text) LocalFree(text);
}
