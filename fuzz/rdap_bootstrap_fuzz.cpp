// A bootstrap file (IANA's, or a cached copy anyone may edit) through the
// parser and the lookups: every kept service URL may be asked (https, no user
// information) and ends in "/", the names are sorted, and every prefix fits
// its address family.
#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/rdap_bootstrap.h"
#include "fuzz/fuzz_support.h"
#include "net/rdap_url.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  for (int r = 0; r < RdapRegistryCount; ++r) {
    const auto registry = static_cast<RdapRegistry>(r);
    RdapServiceTable table;
    if (!ParseRdapBootstrap(text, registry, table)) continue;
    auto checkUrl = [](const std::string& url) {
      FUZZ_CHECK(RdapUrlRefusal(url).empty());
      FUZZ_CHECK(url.back() == '/');
    };
    for (const auto& n : table.Names) checkUrl(n.Url);
    for (size_t i = 1; i < table.Names.size(); ++i) FUZZ_CHECK(table.Names[i - 1].Key < table.Names[i].Key);
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
