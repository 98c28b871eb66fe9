// The --proxy URL parser: any accepted URL gives a choice the settings can
// hold and the connection can use.
#include <cstddef>
#include <cstdint>
#include <string>

#include "cli/proxy_url.h"
#include "fuzz/fuzz_support.h"
#include "settings/settings.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string url(reinterpret_cast<const char*>(data), size);
  ProxyChoice choice;
  std::string error;
  if (!ParseProxyUrl(url, choice, error)) {
    FUZZ_CHECK(!error.empty());
    return 0;
  }
  FUZZ_CHECK(choice.Type == HTTP || choice.Type == Socks4 || choice.Type == Socks5);
  FUZZ_CHECK(choice.Port >= 1 && choice.Port <= 65535);
  FUZZ_CHECK(!choice.Server.empty());
  FUZZ_CHECK(choice.Server.find('/') == std::string::npos);
  const size_t limit = ProxyTextCapacity - 1;
  FUZZ_CHECK(choice.Server.size() <= limit && choice.Login.size() <= limit && choice.Pass.size() <= limit);
  FUZZ_CHECK(choice.UseAuth == 0 || choice.UseAuth == 1);
  if (!choice.UseAuth) FUZZ_CHECK(choice.Login.empty() && choice.Pass.empty());
  return 0;
}
