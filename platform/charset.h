// Conversion of text in the legacy charsets some whois servers answer in to
// UTF-8: iconv on POSIX, MultiByteToWideChar on Windows.
#pragma once
#include <cstddef>
#include <string>

namespace platform {

enum class LegacyCharset { Latin1, Windows1252, Windows1251, Iso2022Jp };

// One converter per reply. Each call converts text that is whole in itself:
// it ends on a character boundary and, for ISO-2022-JP, starts in the ASCII
// state or with the escape that selects its character set.
class CharsetConverter {
 public:
  explicit CharsetConverter(LegacyCharset charset);
  ~CharsetConverter();
  CharsetConverter(const CharsetConverter&) = delete;
  CharsetConverter& operator=(const CharsetConverter&) = delete;

  // Appends the UTF-8 form of the text to `out`, a byte that is no character
  // of the charset as U+FFFD. False, with nothing appended, when this system
  // cannot convert the charset at all.
  bool AppendUtf8(const char* text, size_t length, std::string& out);

 private:
  LegacyCharset charset_;
  void* handle_;  // iconv_t on POSIX; unused on Windows
  bool unavailable_;
};

}  // namespace platform
