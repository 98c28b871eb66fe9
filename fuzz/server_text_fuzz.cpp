// Server texts (a referral from a reply becomes one): "[host]" or "[host]:port",
// a bare IPv6 address, else the text before the first ":" as the host, cut to
// its capacity; the port is read like atoi with 32-bit wrap-around. Written
// back with FormatHostPort, a split text splits the same way again.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "fuzz/fuzz_support.h"
#include "net/server_text.h"

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

size_t Cut(size_t length) { return std::min<size_t>(length, HostTextCapacity - 1); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const char* server = text.c_str();
  const ServerAddress split = SplitServerText(server);

  const size_t hostLength = strnlen(split.Host, HostTextCapacity);
  FUZZ_CHECK(hostLength < static_cast<size_t>(HostTextCapacity));
  const char* close = server[0] == '[' ? std::strchr(server, ']') : nullptr;
  const char* colon = std::strchr(server, ':');
  if (close && close > server + 1 && (close[1] == '\0' || close[1] == ':')) {
    FUZZ_CHECK(hostLength == Cut(static_cast<size_t>(close - server - 1)));
    FUZZ_CHECK(std::strncmp(split.Host, server + 1, hostLength) == 0);
    FUZZ_CHECK(split.Port == (close[1] == ':' ? ReferencePort(close + 2) : DefaultWhoisPort));
  } else if (colon && std::strchr(split.Host, ':')) {
    // A bare IPv6 address: the whole text, two colons at least, the default port.
    FUZZ_CHECK(std::strchr(colon + 1, ':') != nullptr);
    FUZZ_CHECK(hostLength == Cut(std::strlen(server)) && std::strncmp(split.Host, server, hostLength) == 0);
    FUZZ_CHECK(split.Port == DefaultWhoisPort);
  } else if (colon) {
    FUZZ_CHECK(hostLength == Cut(static_cast<size_t>(colon - server)));
    FUZZ_CHECK(std::strncmp(split.Host, server, hostLength) == 0);
    FUZZ_CHECK(split.Port == ReferencePort(colon + 1));
  } else {
    FUZZ_CHECK(hostLength == Cut(std::strlen(server)) && std::strncmp(split.Host, server, hostLength) == 0);
    FUZZ_CHECK(split.Port == DefaultWhoisPort);
  }

  if (split.Host[0] != '[' && !std::strchr(split.Host, ']')) {
    const ServerAddress again = SplitServerText(FormatHostPort(split.Host, split.Port).c_str());
    FUZZ_CHECK(std::strcmp(again.Host, split.Host) == 0);
    FUZZ_CHECK(again.Port == split.Port);
  }
  return 0;
}
