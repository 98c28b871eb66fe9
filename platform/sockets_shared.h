// Pieces shared by both socket implementations; each includes this after its
// own socket headers, which declare hostent and sockaddr_in.
#pragma once
#include <cstdint>
#include <cstring>

#include "platform/sockets.h"

namespace platform {

// Only IPv4 answers give addresses; the name and aliases are kept as given.
template <typename HostEnt>
void CopyHostEntry(const HostEnt* h, HostEntry& entry) {
  entry = HostEntry{};
  entry.Name = h->h_name ? h->h_name : "";
  for (char** a = h->h_aliases; a && *a; ++a) entry.Aliases.emplace_back(*a);
  if (h->h_addrtype == AF_INET && h->h_length == 4) {
    for (char** p = h->h_addr_list; p && *p; ++p) {
      std::uint32_t address;
      std::memcpy(&address, *p, 4);
      entry.Addresses.push_back(address);
    }
  }
}

// An IPv4 socket address (address and port in network byte order), every
// other byte zero.
template <typename SockAddrIn>
SockAddrIn IPv4Target(std::uint32_t address, std::uint16_t port) {
  SockAddrIn target;
  std::memset(&target, 0, sizeof target);
  target.sin_family = AF_INET;
  target.sin_port = htons(port);
  target.sin_addr.s_addr = address;
  return target;
}

}  // namespace platform
