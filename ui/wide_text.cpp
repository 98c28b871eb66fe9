#include "ui/wide_text.h"

#include <climits>

namespace {

int Convert(UINT codePage, DWORD flags, const char* text, int length, wchar_t* out, int room) {
  return length == 0 ? 0 : MultiByteToWideChar(codePage, flags, text, length, out, room);
}

}  // namespace

void AssignWideFromUtf8(std::wstring& wide, const char* text, size_t length) {
  wide.clear();
  if (!text || length == 0) return;
  UINT codePage = CP_UTF8;
  int n = length > INT_MAX / 2 ? INT_MAX / 2 : static_cast<int>(length);
  int count = Convert(CP_UTF8, MB_ERR_INVALID_CHARS, text, n, nullptr, 0);
  if (count <= 0) {
    // A text cut to a fixed buffer may end inside a character: that
    // character goes, the rest is still UTF-8.
    int start = n;
    while (start > 0 && n - start < 3 && (static_cast<unsigned char>(text[start - 1]) & 0xC0) == 0x80) --start;
    if (start > 0 && static_cast<unsigned char>(text[start - 1]) >= 0xC0) {
      count = Convert(CP_UTF8, MB_ERR_INVALID_CHARS, text, start - 1, nullptr, 0);
      if (count > 0 || start == 1) n = start - 1;
    }
  }
  if (count <= 0 && n > 0) {
    codePage = CP_ACP;
    count = Convert(CP_ACP, 0, text, n, nullptr, 0);
    if (count <= 0) return;
  }
  wide.resize(static_cast<size_t>(count));
  const int written = Convert(codePage, codePage == CP_UTF8 ? MB_ERR_INVALID_CHARS : 0, text, n, &wide[0], count);
  wide.resize(written > 0 ? static_cast<size_t>(written) : 0);
}

std::wstring WideFromUtf8(const char* text, size_t length) {
  std::wstring wide;
  AssignWideFromUtf8(wide, text, length);
  return wide;
}

std::string Utf8FromWide(const wchar_t* text, size_t length) {
  if (!text || length == 0) return {};
  const int n = length > INT_MAX / 4 ? INT_MAX / 4 : static_cast<int>(length);
  const int bytes = WideCharToMultiByte(CP_UTF8, 0, text, n, nullptr, 0, nullptr, nullptr);
  if (bytes <= 0) return {};
  std::string utf8(static_cast<size_t>(bytes), '\0');
  const int written = WideCharToMultiByte(CP_UTF8, 0, text, n, &utf8[0], bytes, nullptr, nullptr);
  utf8.resize(written > 0 ? static_cast<size_t>(written) : 0);
  return utf8;
}

bool IsAsciiText(const char* text) {
  for (; text && *text; ++text)
    if (static_cast<unsigned char>(*text) >= 0x80) return false;
  return true;
}
