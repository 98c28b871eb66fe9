#include "engine/address_form.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "platform/text.h"

namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// A decimal number of 1 to `maxDigits` digits, no sign, at most `limit`.
bool ParseDecimal(const char* begin, const char* end, size_t maxDigits, std::uint64_t limit, std::uint64_t& value) {
  if (begin == end || static_cast<size_t>(end - begin) > maxDigits) return false;
  value = 0;
  for (const char* p = begin; p < end; ++p) {
    if (!IsDigit(*p)) return false;
    value = value * 10 + static_cast<unsigned>(*p - '0');
  }
  return value <= limit;
}

// Exactly four decimal parts of 0 to 255 without leading zeros (a prefix or
// an embedded address is written in full; "1.2.3" is a classful shorthand of
// inet_addr only, and "010" would be octal to it).
bool IsDottedQuad(const char* begin, const char* end) {
  const char* p = begin;
  for (int part = 0; part < 4; ++part) {
    const char* dot = p;
    while (dot < end && *dot != '.') ++dot;
    std::uint64_t octet;
    if (!ParseDecimal(p, dot, 3, 255, octet) || (dot - p > 1 && *p == '0')) return false;
    if (part == 3) return dot == end;
    if (dot == end) return false;
    p = dot + 1;
  }
  return false;
}

// RFC 4291 section 2.2: eight groups of 1 to 4 hex digits; one "::" stands
// for one or more zero groups; the last two groups may be written as a dotted
// IPv4 address.
bool IsIPv6(const char* begin, const char* end) {
  int groups = 0;
  bool compressed = false;
  const char* p = begin;
  if (end - begin >= 2 && p[0] == ':' && p[1] == ':') {
    compressed = true;
    p += 2;
    if (p == end) return true;  // "::"
  } else if (p < end && *p == ':') {
    return false;  // a single leading colon
  }
  for (;;) {
    const char* q = p;
    while (q < end && HexValue(*q) >= 0) ++q;
    if (q < end && *q == '.') {
      // The embedded IPv4 address ends the text and fills two groups.
      if (!IsDottedQuad(p, end)) return false;
      groups += 2;
      break;
    }
    if (q == p || q - p > 4) return false;
    ++groups;
    if (q == end) break;
    if (*q != ':') return false;
    if (q + 1 < end && q[1] == ':') {
      if (compressed) return false;  // "::" only once
      compressed = true;
      p = q + 2;
      if (p == end) break;  // a trailing "::"
    } else {
      p = q + 1;
      if (p == end) return false;  // a single trailing colon
    }
  }
  return compressed ? groups <= 7 : groups == 8;
}

bool IsAddressCharacter(char c) { return HexValue(c) >= 0 || c == ':' || c == '.' || c == '/'; }

}  // namespace

AddressForm ClassifyAddressForm(const char* text) {
  const char* end = text + std::strlen(text);

  if ((text[0] == 'a' || text[0] == 'A') && (text[1] == 's' || text[1] == 'S') && text[2]) {
    std::uint64_t number;
    if (ParseDecimal(text + 2, end, 10, 0xFFFFFFFFull, number)) return AddressForm::AsNumber;
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
  if (!slash) return IsIPv6(text, end) ? AddressForm::IPv6 : AddressForm::Malformed;
  std::uint64_t length;
  if (colon) {
    return IsIPv6(text, addressEnd) && ParseDecimal(slash + 1, end, 3, 128, length) ? AddressForm::IPv6Prefix
                                                                                   : AddressForm::Malformed;
  }
  return IsDottedQuad(text, addressEnd) && ParseDecimal(slash + 1, end, 2, 32, length) ? AddressForm::IPv4Prefix
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
    case AddressForm::IPv6Prefix:
      std::snprintf(buffer, size, "n + %s", query);
      return true;
    case AddressForm::AsNumber: {
      const char* digits = query + 2;
      while (digits[0] == '0' && digits[1]) ++digits;
      std::snprintf(buffer, size, "a + %s", digits);
      return true;
    }
    default:
      return false;
  }
}
