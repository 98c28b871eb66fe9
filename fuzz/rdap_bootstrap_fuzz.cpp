// A bootstrap file (IANA's, or a cached copy anyone may edit) through the
// parser and the lookups: every kept service URL is http(s) and ends in "/",
// and every prefix fits its address family.
#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/rdap_bootstrap.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  for (int r = 0; r < RdapRegistryCount; ++r) {
    const auto registry = static_cast<RdapRegistry>(r);
    RdapServiceTable table;
    if (!ParseRdapBootstrap(text, registry, table)) continue;
    auto checkUrl = [](const std::string& url) {
      FUZZ_CHECK(url.compare(0, 7, "http://") == 0 || url.compare(0, 8, "https://") == 0);
      FUZZ_CHECK(url.back() == '/');
    };
    for (const auto& n : table.Names) checkUrl(n.Url);
    for (const auto& p : table.Prefixes) {
      checkUrl(p.Url);
      FUZZ_CHECK(p.Length >= 0 && p.Length <= (registry == RdapRegistry::Ipv6 ? 128 : 32));
    }
    for (const auto& a : table.Ranges) {
      checkUrl(a.Url);
      FUZZ_CHECK(a.First <= a.Last);
    }
    const std::uint8_t address[16] = {192, 0, 2, 1};
    FindDomainService(table, "www.example.co.uk");
    FindAddressService(table, address, registry == RdapRegistry::Ipv6 ? 128 : 32);
    FindAsnService(table, 64512);
  }
  return 0;
}
