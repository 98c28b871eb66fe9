// A redirect's Location read against the https URL it came from: the text
// before the first newline is that URL, the rest the Location. A reference
// without a scheme or "//" keeps the host and brings no user information;
// no fragment is ever sent on.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_support.h"
#include "net/rdap_transport.h"
#include "net/rdap_url.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const size_t newline = text.find('\n');
  if (newline == std::string::npos) return 0;
  const std::string base = text.substr(0, newline), reference = text.substr(newline + 1);
  if (!RdapUrlRefusal(base).empty()) return 0;
  const std::string target = RedirectTarget(base, reference);
  FUZZ_CHECK(target.find('#') == std::string::npos);
  const std::string ref = reference.substr(0, reference.find('#'));
  if (ref.find(':') == std::string::npos && ref.compare(0, 2, "//") != 0) {
    FUZZ_CHECK(UrlHost(target) == UrlHost(base));
    FUZZ_CHECK(UrlWithoutUserInfo(target) == target);
    FUZZ_CHECK(target.compare(0, 8, "https://") == 0);
  }
  return 0;
}
