// The address forms a query may take besides a dotted or packed IPv4
// address: IPv6 addresses, CIDR prefixes and AS numbers.
#pragma once
#include <cstddef>

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
