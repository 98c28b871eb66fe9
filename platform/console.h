// The console of a command-line front end: Ctrl-C, terminals, the byte
// stream of standard output and the character set of what it writes.
#pragma once
#include <atomic>
#include <cstddef>
#include <cstdio>
#include <string>

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

// Writes `count` bytes to `stream`. A Windows console gets the UTF-8 text
// they are (whole characters) in UTF-16, so every script shows whatever its
// code page; everything else gets the bytes. False, with errno set, when the
// write failed.
bool WriteOutput(std::FILE* stream, const char* bytes, size_t count);

// Replaces argv by the arguments in UTF-8: on Windows read from the UTF-16
// command line, elsewhere converted from the locale's character set
// (setlocale(LC_CTYPE, "") first). The strings live until the process ends.
void UseUtf8Arguments(int& argc, char**& argv);

// `utf8` in the 8-bit encoding of files shared with the Windows program (its
// ANSI code page, "?" for what that lacks); elsewhere in the locale's
// character set, where that is neither UTF-8 nor plain ASCII.
std::string NativeText(const std::string& utf8);

// Turns UTF-8 text into the character set of the terminal or pipe it is
// written to: the locale's (nl_langinfo(CODESET)), through iconv. Windows
// writes UTF-8 (and UTF-16 to a console), so there it passes everything on.
class TextEncoder {
 public:
  // `charset`: an iconv name; null for the locale's.
  explicit TextEncoder(const char* charset = nullptr);
  ~TextEncoder();
  TextEncoder(const TextEncoder&) = delete;
  TextEncoder& operator=(const TextEncoder&) = delete;

  // True when UTF-8 goes out as it is.
  bool PassesUtf8() const { return passes_; }
  // Appends valid UTF-8 `text`, whole characters, in the character set;
  // "?" for each character that it cannot hold.
  void Convert(const char* text, size_t length, std::string& out) const;

 private:
  void* converter_ = nullptr;  // an iconv_t; null where it could not be had: ASCII then
  bool passes_ = true;
  bool keepsAscii_ = true;  // ASCII is the same bytes in the character set
};

}  // namespace platform
