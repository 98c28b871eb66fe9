#include "net/server_text.h"

#include <cstring>

#include "platform/decimal.h"
#include "platform/sockets.h"

namespace {

void SetHost(ServerAddress& result, const char* host, size_t length) {
  if (length > HostTextCapacity - 1) length = HostTextCapacity - 1;
  std::memcpy(result.Host, host, length);
  result.Host[length] = '\0';
}

// Two colons at least, and the system reads it as an IPv6 address.
bool IsBareIPv6(const char* text) {
  const char* first = std::strchr(text, ':');
  if (!first || !std::strchr(first + 1, ':')) return false;
  platform::SocketAddress address;
  return platform::ParseAddress(text, 0, address) && address.Family() == platform::AddressFamily::IPv6;
}

}  // namespace

ServerAddress SplitServerText(const char* server) {
  ServerAddress result;
  result.Port = DefaultWhoisPort;
  if (server[0] == '[') {
    // "[host]" must end the text or be followed by ":" and the port; any
    // other text is read the old way below.
    const char* close = std::strchr(server, ']');
    if (close && close > server + 1 && (close[1] == '\0' || close[1] == ':')) {
      SetHost(result, server + 1, static_cast<size_t>(close - server - 1));
      if (close[1] == ':') result.Port = platform::ParseLeadingInt(close + 2);
      return result;
    }
  }
  if (IsBareIPv6(server)) {
    SetHost(result, server, std::strlen(server));
    return result;
  }
  const char* colon = std::strchr(server, ':');
  SetHost(result, server, colon ? static_cast<size_t>(colon - server) : std::strlen(server));
  if (colon) result.Port = platform::ParseLeadingInt(colon + 1);
  return result;
}

std::string FormatHostPort(const char* host, int port) {
  const std::string text = std::strchr(host, ':') && host[0] != '[' ? "[" + std::string(host) + "]" : host;
  return text + ":" + std::to_string(port);
}
