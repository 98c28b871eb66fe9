#include "net/tunnel_target.h"

#include <vector>

bool LookUpTunnelAddress(const char* host, platform::SocketAddress& address) {
  std::vector<platform::SocketAddress> all;
  if (!platform::ResolveAll(host, 0, all)) return false;
  address = all.front();
  for (const platform::SocketAddress& a : all) {
    if (a.Family() == platform::AddressFamily::IPv4) {
      address = a;
      break;
    }
  }
  return true;
}

bool IsIPv6Text(const char* host) {
  platform::SocketAddress address;
  return platform::ParseAddress(host, 0, address) && address.Family() == platform::AddressFamily::IPv6;
}
