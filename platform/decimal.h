// Decimal numbers in text, read one way everywhere.
#pragma once
#include <cstddef>

namespace platform {

// `length` digits and nothing else, for a value from `low` to `high` (high
// below 2^62). Leading zeros are allowed; false for anything else, without
// ever overflowing.
bool ParseDecimal(const char* text, std::size_t length, long long low, long long high, long long& value);
inline bool ParseDecimal(const char* text, std::size_t length, long low, long high, long& value) {
  long long wide = 0;
  if (!ParseDecimal(text, length, low, high, wide)) return false;
  value = static_cast<long>(wide);
  return true;
}

// atoi without its undefined overflow: leading blanks, a sign, digits, 32-bit wrap.
int ParseLeadingInt(const char* text);

}  // namespace platform
