// Links from whois replies are handed to the shell: only web, ftp and mail
// addresses without control characters may ever come out.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_support.h"
#include "platform/text.h"
#include "ui/link_policy.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const std::string link = OpenableLink(text);
  if (link.empty()) return 0;
  for (char c : link) FUZZ_CHECK(static_cast<unsigned char>(c) >= 0x20 && c != 0x7F);
  bool allowed = false;
  for (const char* scheme : {"http://", "https://", "ftp://", "mailto:"})
    allowed = allowed || (StartsWithIgnoringCase(link, scheme) && link.size() > std::string(scheme).size());
  FUZZ_CHECK(allowed);
  FUZZ_CHECK(link == text || link == "http://" + text);
  return 0;
}
