#include "platform/decimal.h"

#include <cstdint>

namespace platform {

bool ParseDecimal(const char* text, std::size_t length, long long low, long long high, long long& value) {
  if (length == 0) return false;
  long long number = 0;
  for (std::size_t i = 0; i < length; ++i) {
    const char c = text[i];
    if (c < '0' || c > '9') return false;
    number = number * 10 + (c - '0');
    if (number > high) return false;  // before it could grow past the type
  }
  if (number < low) return false;
  value = number;
  return true;
}

int ParseLeadingInt(const char* text) {
  const char* p = text;
  while (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r' || *p == '\f' || *p == '\v') ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') negative = *p++ == '-';
  std::uint32_t value = 0;
  for (; *p >= '0' && *p <= '9'; ++p) value = value * 10u + static_cast<std::uint32_t>(*p - '0');
  if (negative) value = 0u - value;
  return static_cast<int>(value);
}

}  // namespace platform
