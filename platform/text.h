// Small text helpers every layer uses: ASCII case and digits, and copying
// into fixed fields. They never depend on the C locale.
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

inline bool IsDigit(char c) { return c >= '0' && c <= '9'; }

inline char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

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
