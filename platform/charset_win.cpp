#include <windows.h>

#include <vector>

#include "platform/charset.h"

namespace platform {

namespace {

UINT CodePage(LegacyCharset charset) {
  switch (charset) {
    case LegacyCharset::Latin1: return 28591;
    case LegacyCharset::Windows1252: return 1252;
    case LegacyCharset::Windows1251: return 1251;
    case LegacyCharset::Iso2022Jp: return 50220;
  }
  return 1252;
}

// Converted in pieces of this size, well inside the int lengths of the API.
// ISO-2022-JP text is never cut here: the caller hands it over in pieces no
// longer than this.
constexpr size_t PieceLength = 64 * 1024;

}  // namespace

CharsetConverter::CharsetConverter(LegacyCharset charset) : charset_(charset), handle_(nullptr), unavailable_(false) {}

CharsetConverter::~CharsetConverter() = default;

bool CharsetConverter::AppendUtf8(const char* text, size_t length, std::string& out) {
  if (unavailable_) return false;
  const UINT codePage = CodePage(charset_);
  std::vector<wchar_t> wide;
  while (length > 0) {
    const int n = static_cast<int>(length < PieceLength || charset_ == LegacyCharset::Iso2022Jp ? length : PieceLength);
    // No flags: code page 50220 accepts none, and the others have a
    // character for every byte or map it to the system's default character.
    wide.resize(static_cast<size_t>(n) * 2 + 8);
    const int units = MultiByteToWideChar(codePage, 0, text, n, wide.data(), static_cast<int>(wide.size()));
    if (units <= 0) {
      // Wine, and Windows without the Japanese conversions, have no code
      // page 50220: the API then refuses the code page as a parameter.
      if (GetLastError() == ERROR_INVALID_PARAMETER) {
        unavailable_ = true;
        return false;
      }
    } else {
      // Windows gives the bytes that code pages 1251 and 1252 leave undefined
      // the C1 control of the same number; glibc's iconv, like the rest of
      // this program, calls them not text.
      if (charset_ == LegacyCharset::Windows1251 || charset_ == LegacyCharset::Windows1252) {
        for (int i = 0; i < units; ++i) {
          wchar_t& c = wide[static_cast<size_t>(i)];
          if (c >= 0x80 && c <= 0x9F) c = 0xFFFD;
        }
      }
      const int bytes = WideCharToMultiByte(CP_UTF8, 0, wide.data(), units, nullptr, 0, nullptr, nullptr);
      if (bytes > 0) {
        const size_t start = out.size();
        out.resize(start + static_cast<size_t>(bytes));
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), units, &out[start], bytes, nullptr, nullptr);
      }
    }
    text += n;
    length -= static_cast<size_t>(n);
  }
  return true;
}

}  // namespace platform
