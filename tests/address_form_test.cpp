// The address forms besides IPv4: which texts are IPv6 addresses, prefixes or
// AS numbers, and the request the address registry gets for each.
#include <gtest/gtest.h>

#include <string>

#include "engine/address_form.h"

namespace {

TEST(AddressForm, Classification) {
  using F = AddressForm;
  struct Case {
    const char* text;
    AddressForm form;
  } cases[] = {
      // RFC 4291 section 2.2: full, compressed and mixed forms.
      {"2001:db8:0:0:8:800:200c:417a", F::IPv6},
      {"2001:DB8::8:800:200C:417A", F::IPv6},
      {"ff01::101", F::IPv6},
      {"::1", F::IPv6},
      {"::", F::IPv6},
      {"1::", F::IPv6},
      {"1:2:3:4:5:6:7::", F::IPv6},
      {"::2:3:4:5:6:7:8", F::IPv6},
      {"0:0:0:0:0:0:13.1.68.3", F::IPv6},
      {"::13.1.68.3", F::IPv6},
      {"::ffff:129.144.52.38", F::IPv6},
      {"1:2:3:4:5:6:1.2.3.4", F::IPv6},
      {"1:2:3:4:5:6:7:8:9", F::Malformed},
      {"1:2:3:4:5:6:7", F::Malformed},
      {"1:2:3:4:5:6:7:8::", F::Malformed},
      {"1::2::3", F::Malformed},
      {":::", F::Malformed},
      {":1::", F::Malformed},
      {"1:", F::Malformed},
      {"12345::", F::Malformed},
      {"1:2:3:4:5:6:7:1.2.3.4", F::Malformed},
      {"::1.2.3", F::Malformed},
      {"::1.2.3.4.5", F::Malformed},
      {"::1.2.3.256", F::Malformed},
      {"::01.2.3.4", F::Malformed},
      {"1.2.3.4::", F::Malformed},
      {"::1.2.3.4:5", F::Malformed},
      // Prefixes (RFC 4291 section 2.3, RFC 4632).
      {"2001:db8::/32", F::IPv6Prefix},
      {"::/0", F::IPv6Prefix},
      {"2001:db8::/128", F::IPv6Prefix},
      {"2001:db8::/129", F::Malformed},
      {"2001:db8::/", F::Malformed},
      {"2001:db8::/3/2", F::Malformed},
      {"192.0.2.0/24", F::IPv4Prefix},
      {"0.0.0.0/0", F::IPv4Prefix},
      {"192.0.2.1/32", F::IPv4Prefix},
      {"192.0.2.0/33", F::Malformed},
      {"192.0.2/24", F::Malformed},
      {"192.0.2.0/24/8", F::Malformed},
      {"300.0.2.0/24", F::Malformed},
      // AS numbers, plain notation, 32 bits.
      {"AS3333", F::AsNumber},
      {"as3333", F::AsNumber},
      {"As0", F::AsNumber},
      {"AS4294967295", F::AsNumber},
      {"AS4294967296", F::Malformed},
      {"AS99999999999", F::Malformed},
      // Names stay names, as they always were.
      {"example.com", F::NotAddress},
      {"1.2.3.4", F::NotAddress},  // the IPv4 rules of old decide
      {"1.2.3.4/", F::NotAddress},
      {"example.com/24", F::NotAddress},
      {"cafe.be/8", F::NotAddress},
      {"dead.beef", F::NotAddress},
      {"as", F::NotAddress},
      {"as-example.net", F::NotAddress},
      {"AS3333.net", F::NotAddress},
      {"fe80::1%eth0", F::NotAddress},
      {"example.com:8080", F::NotAddress},
      {"", F::NotAddress},
  };
  for (const Case& c : cases) EXPECT_EQ(ClassifyAddressForm(c.text), c.form) << c.text;
}

TEST(AddressForm, AddressRegistryRequests) {
  struct Case {
    const char* query;
    const char* request;  // nullptr: sent unchanged
  } cases[] = {
      {"2001:db8::1", "n + 2001:db8::1"},
      {"2001:db8::/32", "n + 2001:db8::/32"},
      {"192.0.2.0/24", "n + 192.0.2.0/24"},
      {"AS3333", "a + 3333"},
      {"as3333", "a + 3333"},
      {"AS0003333", "a + 3333"},
      {"AS0", "a + 0"},
      {"192.0.2.1", nullptr},
      {"example.com", nullptr},
      {"1::2::3", nullptr},
  };
  for (const Case& c : cases) {
    char buffer[80] = "unchanged";
    EXPECT_EQ(BuildAddressRegistryRequest(c.query, buffer, sizeof buffer), c.request != nullptr) << c.query;
    EXPECT_EQ(std::string(buffer), c.request ? c.request : "unchanged") << c.query;
  }
}

}  // namespace
