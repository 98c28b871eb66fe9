// The address forms a query may take besides a dotted or packed IPv4
// address: IPv6 addresses, CIDR prefixes and AS numbers.
#pragma once
#include <cstddef>
#include <cstdint>

enum class AddressForm {
  NotAddress,  // a name (or a dotted or packed IPv4 address, handled apart)
  IPv6,        // any RFC 4291 text form, without a zone
  IPv4Prefix,  // "192.0.2.0/24"
  IPv6Prefix,  // "2001:db8::/32"
  AsNumber,    // "AS3333", any letter case, 0 to 4294967295
  Malformed,   // made of address characters only, but no valid form
};

AddressForm ClassifyAddressForm(const char* text);

// The request that the address registry's whois server documents for a
// query of a new form; false for any other query (sent unchanged).
bool BuildAddressRegistryRequest(const char* query, char* buffer, size_t size);

// The bytes of the address in [begin, end): a dotted IPv4 address written in
// full (four parts of 0 to 255, no leading zeros) or an IPv6 address in any
// RFC 4291 text form, without a zone; false for any other text.
bool ParseDottedQuad(const char* begin, const char* end, std::uint8_t bytes[4]);
bool ParseIPv6Address(const char* begin, const char* end, std::uint8_t bytes[16]);
