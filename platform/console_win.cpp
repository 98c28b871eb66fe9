#include "platform/console.h"

#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <cerrno>
#include <vector>

namespace platform {

namespace {

std::atomic<int>* InterruptFlag = nullptr;

BOOL WINAPI OnConsoleBreak(DWORD type) {
  if (type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT) return FALSE;
  if (InterruptFlag->exchange(1) == 1) ExitProcess(130);
  return TRUE;
}

HANDLE HandleOf(std::FILE* stream) { return reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream))); }

std::string WideToUtf8(const wchar_t* text) {
  const int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (n <= 1) return std::string();
  std::string utf8(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, -1, &utf8[0], n, nullptr, nullptr);
  utf8.resize(static_cast<size_t>(n - 1));
  return utf8;
}

// UTF-8 in pieces of whole characters, each in UTF-16 (as many units as
// bytes at most), through WriteConsoleW until all of it is written.
bool WriteConsoleText(HANDLE console, const char* bytes, size_t count) {
  wchar_t wide[4096];
  while (count > 0) {
    size_t n = count < sizeof wide / sizeof wide[0] ? count : sizeof wide / sizeof wide[0];
    while (n < count && n > 0 && (static_cast<unsigned char>(bytes[n]) & 0xC0) == 0x80) --n;
    if (n == 0) n = 1;
    const int units = MultiByteToWideChar(CP_UTF8, 0, bytes, static_cast<int>(n), wide, 4096);
    for (int done = 0; done < units;) {
      DWORD written = 0;
      if (!WriteConsoleW(console, wide + done, static_cast<DWORD>(units - done), &written, nullptr) || written == 0)
        return false;
      done += static_cast<int>(written);
    }
    bytes += n;
    count -= n;
  }
  return true;
}

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

// A console's 8-bit writes are read in its output code page, which holds
// one script or two; its UTF-16 writes show every script it has a font for.
bool WriteOutput(std::FILE* stream, const char* bytes, size_t count) {
  const HANDLE h = HandleOf(stream);
  DWORD mode;
  if (!GetConsoleMode(h, &mode)) return std::fwrite(bytes, 1, count, stream) == count;
  std::fflush(stream);
  if (WriteConsoleText(h, bytes, count)) return true;
  errno = EIO;
  return false;
}

// The C runtime's argv is in the ANSI code page, where a name in another
// script is only "?"; the command line itself is UTF-16.
void UseUtf8Arguments(int& argc, char**& argv) {
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (!wide) return;
  static std::vector<std::string> texts;
  static std::vector<char*> pointers;
  for (int i = 0; i < count; ++i) texts.push_back(WideToUtf8(wide[i]));
  LocalFree(wide);
  for (std::string& text : texts) pointers.push_back(&text[0]);
  pointers.push_back(nullptr);
  argc = count;
  argv = pointers.data();
}

std::string NativeText(const std::string& utf8) {
  if (utf8.empty()) return utf8;
  const int units = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  if (units <= 0) return utf8;
  std::vector<wchar_t> wide(static_cast<size_t>(units));
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), units);
  const int n = WideCharToMultiByte(CP_ACP, 0, wide.data(), units, nullptr, 0, "?", nullptr);
  if (n <= 0) return utf8;
  std::string native(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_ACP, 0, wide.data(), units, &native[0], n, "?", nullptr);
  return native;
}

// Files and pipes get UTF-8, a console UTF-16 (WriteOutput): nothing to convert.
TextEncoder::TextEncoder(const char*) {}
TextEncoder::~TextEncoder() {}
void TextEncoder::Convert(const char* text, size_t length, std::string& out) const { out.append(text, length); }

}  // namespace platform
