// Server texts (a referral from a reply becomes one): the host is the text
// before the first ":", cut to its capacity; the port is read like atoi with
// 32-bit wrap-around.
#include <cstddef>
#include <cstdint>
#include <algorithm>
#include <cstring>
#include <string>

#include "fuzz/fuzz_support.h"
#include "net/connection.h"

namespace {

// The same reading, written out independently.
int ReferencePort(const char* p) {
  while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') negative = *p++ == '-';
  std::uint64_t value = 0;
  while (*p >= '0' && *p <= '9') value = (value * 10 + static_cast<unsigned>(*p++ - '0')) & 0xFFFFFFFFu;
  if (negative) value = (0x100000000ull - value) & 0xFFFFFFFFu;
  return static_cast<int>(static_cast<std::uint32_t>(value));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const char* server = text.c_str();
  const ServerAddress split = SplitServerText(server);

  const size_t hostLength = strnlen(split.Host, HostTextCapacity);
  FUZZ_CHECK(hostLength < static_cast<size_t>(HostTextCapacity));
  FUZZ_CHECK(std::strncmp(split.Host, server, hostLength) == 0);
  FUZZ_CHECK(std::strchr(split.Host, ':') == nullptr);
  const char* colon = std::strchr(server, ':');
  if (colon) {
    FUZZ_CHECK(hostLength == std::min<size_t>(static_cast<size_t>(colon - server), HostTextCapacity - 1));
    FUZZ_CHECK(split.Port == ReferencePort(colon + 1));
  } else {
    FUZZ_CHECK(hostLength == std::min<size_t>(std::strlen(server), HostTextCapacity - 1));
    FUZZ_CHECK(split.Port == DefaultWhoisPort);
  }
  return 0;
}
