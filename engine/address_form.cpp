#include "engine/address_form.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "platform/decimal.h"
#include "platform/text.h"

namespace {

// A decimal number of 1 to `maxDigits` digits, no sign, at most `limit`.
bool ParseDecimal(const char* begin, const char* end, size_t maxDigits, long long limit, long long& value) {
  const size_t length = static_cast<size_t>(end - begin);
  return length <= maxDigits && platform::ParseDecimal(begin, length, 0, limit, value);
}

bool IsAddressCharacter(char c) { return HexDigitValue(c) >= 0 || c == ':' || c == '.' || c == '/'; }

}  // namespace

// Exactly four decimal parts of 0 to 255 without leading zeros (a prefix or
// an embedded address is written in full; "1.2.3" is a classful shorthand of
// inet_addr only, and "010" would be octal to it).
bool ParseDottedQuad(const char* begin, const char* end, std::uint8_t bytes[4]) {
  const char* p = begin;
  for (int part = 0; part < 4; ++part) {
    const char* dot = p;
    while (dot < end && *dot != '.') ++dot;
    long long octet;
    if (!ParseDecimal(p, dot, 3, 255, octet) || (dot - p > 1 && *p == '0')) return false;
    bytes[part] = static_cast<std::uint8_t>(octet);
    if (part == 3) return dot == end;
    if (dot == end) return false;
    p = dot + 1;
  }
  return false;
}

// RFC 4291 section 2.2: eight groups of 1 to 4 hex digits; one "::" stands
// for one or more zero groups; the last two groups may be written as a dotted
// IPv4 address.
bool ParseIPv6Address(const char* begin, const char* end, std::uint8_t bytes[16]) {
  std::uint16_t groups[8] = {};
  int count = 0;
  int gap = -1;  // the number of groups before the "::", if there is one
  const char* p = begin;
  if (end - begin >= 2 && p[0] == ':' && p[1] == ':') {
    gap = 0;
    p += 2;
  } else if (p < end && *p == ':') {
    return false;  // a single leading colon
  }
  while (p < end) {
    const char* q = p;
    unsigned value = 0;
    for (; q < end && q - p <= 4 && HexDigitValue(*q) >= 0; ++q)
      value = value * 16 + static_cast<unsigned>(HexDigitValue(*q));
    if (q < end && *q == '.') {
      // The embedded IPv4 address ends the text and fills two groups.
      std::uint8_t v4[4];
      if (count > 6 || !ParseDottedQuad(p, end, v4)) return false;
      groups[count++] = static_cast<std::uint16_t>(v4[0] << 8 | v4[1]);
      groups[count++] = static_cast<std::uint16_t>(v4[2] << 8 | v4[3]);
      break;
    }
    if (q == p || q - p > 4 || count == 8) return false;
    groups[count++] = static_cast<std::uint16_t>(value);
    if (q == end) break;
    if (*q != ':') return false;
    if (q + 1 < end && q[1] == ':') {
      if (gap >= 0) return false;  // "::" only once
      gap = count;
      p = q + 2;
    } else {
      p = q + 1;
      if (p == end) return false;  // a single trailing colon
    }
  }
  if (gap >= 0 ? count > 7 : count != 8) return false;
  std::memset(bytes, 0, 16);
  for (int i = 0; i < count; ++i) {
    const int at = gap >= 0 && i >= gap ? 8 - count + i : i;  // the groups after "::" end the address
    bytes[2 * at] = static_cast<std::uint8_t>(groups[i] >> 8);
    bytes[2 * at + 1] = static_cast<std::uint8_t>(groups[i] & 0xFF);
  }
  return true;
}

AddressForm ClassifyAddressForm(const char* text) {
  const char* end = text + std::strlen(text);

  if ((text[0] == 'a' || text[0] == 'A') && (text[1] == 's' || text[1] == 'S') && text[2]) {
    long long number;
    if (ParseDecimal(text + 2, end, 10, 0xFFFFFFFFll, number)) return AddressForm::AsNumber;
    bool digits = true;
    for (const char* p = text + 2; p < end; ++p) digits = digits && IsDigit(*p);
    return digits ? AddressForm::Malformed : AddressForm::NotAddress;  // "AS99999999999"
  }

  // Only texts made of address characters can be an address form at all; a
  // slash must be followed by a length, or the text is a name
  // ("1.2.3.4/" and "example.com/path" are names).
  for (const char* p = text; p < end; ++p)
    if (!IsAddressCharacter(*p)) return AddressForm::NotAddress;
  const char* slash = std::strchr(text, '/');
  const bool colon = std::strchr(text, ':') != nullptr;
  if (!colon && (!slash || slash[1] == '\0')) return AddressForm::NotAddress;
  if (!colon) {
    for (const char* p = text; p < end; ++p)
      if (!IsDigit(*p) && *p != '.' && *p != '/') return AddressForm::NotAddress;  // hex letters: a name
  }

  const char* addressEnd = slash ? slash : end;
  std::uint8_t bytes[16];
  if (!slash) return ParseIPv6Address(text, end, bytes) ? AddressForm::IPv6 : AddressForm::Malformed;
  long long length;
  if (colon) {
    return ParseIPv6Address(text, addressEnd, bytes) && ParseDecimal(slash + 1, end, 3, 128, length)
               ? AddressForm::IPv6Prefix
               : AddressForm::Malformed;
  }
  return ParseDottedQuad(text, addressEnd, bytes) && ParseDecimal(slash + 1, end, 2, 32, length)
             ? AddressForm::IPv4Prefix
             : AddressForm::Malformed;
}

// ARIN's port-43 service takes a record-type flag before the search term:
// "n" for networks, "a" for AS numbers, and "+" for the full record; a prefix
// is matched as CIDR (the enclosing network unless a hierarchy flag says
// otherwise). The AS number goes without its "AS". Dotted IPv4 addresses keep
// the bare form they have always been sent in.
bool BuildAddressRegistryRequest(const char* query, char* buffer, size_t size) {
  switch (ClassifyAddressForm(query)) {
    case AddressForm::IPv6:
    case AddressForm::IPv4Prefix:
    case AddressForm::IPv6Prefix: std::snprintf(buffer, size, "n + %s", query); return true;
    case AddressForm::AsNumber: {
      const char* digits = query + 2;
      while (digits[0] == '0' && digits[1]) ++digits;
      std::snprintf(buffer, size, "a + %s", digits);
      return true;
    }
    default: return false;
  }
}
