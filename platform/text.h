// Small text helpers every layer uses: ASCII case and digits, UTF-8 sequences,
// and copying into fixed fields. They never depend on the C locale.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

// The 8 bytes at p as one word, the first byte in the lowest bits, for
// scanning text a word at a time.
inline std::uint64_t LoadBytesLowFirst(const char* p) {
  std::uint64_t word;
  std::memcpy(&word, p, 8);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
  word = __builtin_bswap64(word);
#endif
  return word;
}

// What the bytes at p begin with, `available` of them (at least one), by the
// rule of RFC 3629: each lead byte sets the range of the byte after it, which
// rules out overlong forms, the surrogates and what lies beyond U+10FFFF.
// Valid: a whole character of `length` bytes (1 for ASCII). Cut: all
// `available` bytes begin one that needs more; `length` is `available`.
// Invalid: `length` bytes (at least 1) are the longest start of a character
// before the fault.
enum class Utf8Step { Valid, Cut, Invalid };
inline Utf8Step ReadUtf8(const unsigned char* p, size_t available, size_t& length) {
  const unsigned char lead = p[0];
  size_t need;
  unsigned char low = 0x80, high = 0xBF;
  if (lead < 0x80) {
    need = 1;
  } else if (lead >= 0xC2 && lead <= 0xDF) {
    need = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    need = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    need = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    length = 1;
    return Utf8Step::Invalid;
  }
  for (size_t i = 1; i < need; ++i) {
    if (i >= available) {
      length = i;
      return Utf8Step::Cut;
    }
    if (p[i] < low || p[i] > high) {
      length = i;
      return Utf8Step::Invalid;
    }
    low = 0x80;
    high = 0xBF;
  }
  length = need;
  return Utf8Step::Valid;
}

inline bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The value of a hex digit of either case, or -1.
inline int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

inline char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// `text` with its ASCII letters in lower case.
inline std::string LowerText(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = Lower(c);
  return lower;
}

// `text` without the characters of `blanks` at its start and its end.
inline std::string_view Trim(std::string_view text, std::string_view blanks) {
  const size_t start = text.find_first_not_of(blanks);
  if (start == std::string_view::npos) return {};
  return text.substr(start, text.find_last_not_of(blanks) - start + 1);
}

// A line without its blanks and the CR of a CRLF line end.
inline std::string_view TrimLine(std::string_view text) { return Trim(text, " \t\r"); }

// Equal but for the case of ASCII letters.
inline bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (Lower(a[i]) != Lower(b[i])) return false;
  return true;
}

inline bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && EqualsIgnoringCase(text.substr(0, prefix.size()), prefix);
}

// Control characters other than the tab become blanks.
inline void BlankControlCharacter(char& c) {
  if ((static_cast<unsigned char>(c) < 0x20 && c != '\t') || c == 0x7F) c = ' ';
}
inline void BlankControlCharacters(char* text) {
  for (; *text; ++text) BlankControlCharacter(*text);
}
inline void BlankControlCharacters(std::string& text) {
  for (char& c : text) BlankControlCharacter(c);
}

// Copies text into a fixed field, cut to capacity - 1 characters.
inline void CopyText(char* field, int capacity, const char* text) {
  if (capacity <= 0) return;
  size_t n = std::strlen(text);
  if (n > static_cast<size_t>(capacity - 1)) n = static_cast<size_t>(capacity - 1);
  std::memmove(field, text, n);
  field[n] = '\0';
}
