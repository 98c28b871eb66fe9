// The address-form classifier: whatever is typed, an address form is made of
// address characters alone, the registry request of a form quotes the typed
// text (or the AS number's digits), and texts that are no form keep the bare
// request; the address bytes are those inet_pton reads.
#include <arpa/inet.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "engine/address_form.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const char* typed = text.c_str();
  const AddressForm form = ClassifyAddressForm(typed);

  char request[128];
  const bool own = BuildAddressRegistryRequest(typed, request, sizeof request);
  const std::string sent = request;
  switch (form) {
    case AddressForm::IPv6:
    case AddressForm::IPv6Prefix:
    case AddressForm::IPv4Prefix:
      FUZZ_CHECK(own && sent == "n + " + std::string(typed));
      FUZZ_CHECK(std::strspn(typed, "0123456789abcdefABCDEF:./") == std::strlen(typed));
      FUZZ_CHECK(std::strlen(typed) <= 49);  // the longest valid text: 45 characters and "/128"
      FUZZ_CHECK((form == AddressForm::IPv4Prefix) == (std::strchr(typed, ':') == nullptr));
      FUZZ_CHECK((form == AddressForm::IPv6) == (std::strchr(typed, '/') == nullptr));
      break;
    case AddressForm::AsNumber:
      FUZZ_CHECK(own && sent.compare(0, 4, "a + ") == 0 && sent.size() > 4 && sent.size() <= 14);
      FUZZ_CHECK(std::strspn(sent.c_str() + 4, "0123456789") == sent.size() - 4);
      FUZZ_CHECK(std::strlen(typed) > 2 && (typed[0] | 0x20) == 'a' && (typed[1] | 0x20) == 's');
      break;
    case AddressForm::NotAddress:
    case AddressForm::Malformed: FUZZ_CHECK(!own); break;
  }

  // The byte readers take exactly what the C library's inet_pton takes.
  const char* end = typed + std::strlen(typed);
  std::uint8_t mine[16], theirs[16];
  const bool v6 = ParseIPv6Address(typed, end, mine);
  FUZZ_CHECK(v6 == (inet_pton(AF_INET6, typed, theirs) == 1) && (!v6 || std::memcmp(mine, theirs, 16) == 0));
  const bool v4 = ParseDottedQuad(typed, end, mine);
  FUZZ_CHECK(v4 == (inet_pton(AF_INET, typed, theirs) == 1) && (!v4 || std::memcmp(mine, theirs, 4) == 0));
  return 0;
}
