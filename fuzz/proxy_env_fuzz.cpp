// NO_PROXY lists and proxy variables from the environment: any text is
// judged without harm; "*" sends every host direct, and a host named in the
// list itself is always reached directly.
#include <cstddef>
#include <cstdint>
#include <string>

#include "cli/proxy_env.h"
#include "fuzz/fuzz_support.h"
#include "settings/settings.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  const size_t split = input.find('\n');
  const std::string list = input.substr(0, split);
  const std::string host = split == std::string::npos ? "whois.example.net" : input.substr(split + 1);
  (void)NoProxyMatches(list, host);
  FUZZ_CHECK(NoProxyMatches("*", host));
  const bool plainName = !host.empty() && host.find_first_of(",. \t[]/:") == std::string::npos;
  if (plainName) FUZZ_CHECK(NoProxyMatches(list + "," + host, host));

  const auto lookup = [&](const char* name) -> const char* {
    const std::string n = name;
    if (n == "all_proxy") return list.c_str();
    if (n == "no_proxy") return split == std::string::npos ? nullptr : "localhost";
    return nullptr;
  };
  EnvironmentProxy proxy;
  std::string error;
  if (ProxyFromEnvironment(ProxyPurpose::Whois, host, lookup, proxy, error)) {
    if (proxy.Applies) FUZZ_CHECK(proxy.Choice.Port >= 1 && proxy.Choice.Port <= 65535 && !proxy.Choice.Server.empty());
  } else {
    FUZZ_CHECK(error.rfind("all_proxy: ", 0) == 0);
  }
  return 0;
}
