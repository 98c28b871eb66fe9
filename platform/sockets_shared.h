// Pieces shared by both socket implementations; each includes this after its
// own socket headers, which declare hostent, sockaddr_in, sockaddr_in6,
// getaddrinfo and getnameinfo. Only one of the two is built, so the functions
// defined here are defined once.
#pragma once
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

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

static_assert(sizeof(sockaddr_storage) <= SocketAddress::Capacity, "a socket address fits");
static_assert(sizeof(sockaddr_in6) <= SocketAddress::Capacity, "an IPv6 socket address fits");

AddressFamily SocketAddress::Family() const {
  if (Length == 0) return AddressFamily::None;
  decltype(sockaddr::sa_family) family;
  std::memcpy(&family, Bytes + offsetof(sockaddr, sa_family), sizeof family);
  if (family == AF_INET) return AddressFamily::IPv4;
  if (family == AF_INET6) return AddressFamily::IPv6;
  return AddressFamily::None;
}

// sin_port and sin6_port lie at the same offset.
std::uint16_t SocketAddress::Port() const {
  if (Family() == AddressFamily::None) return 0;
  std::uint16_t port;
  std::memcpy(&port, Bytes + offsetof(sockaddr_in, sin_port), sizeof port);
  return ntohs(port);
}

void SocketAddress::SetPort(std::uint16_t port) {
  static_assert(offsetof(sockaddr_in, sin_port) == offsetof(sockaddr_in6, sin6_port), "ports align");
  if (Family() == AddressFamily::None) return;
  const std::uint16_t network = htons(port);
  std::memcpy(Bytes + offsetof(sockaddr_in, sin_port), &network, sizeof network);
}

std::uint32_t SocketAddress::IPv4() const {
  if (Family() != AddressFamily::IPv4) return 0;
  std::uint32_t address;
  std::memcpy(&address, Bytes + offsetof(sockaddr_in, sin_addr), sizeof address);
  return address;
}

bool SocketAddress::IPv6(unsigned char bytes[16]) const {
  if (Family() != AddressFamily::IPv6) return false;
  std::memcpy(bytes, Bytes + offsetof(sockaddr_in6, sin6_addr), 16);
  return true;
}

bool SocketAddress::operator==(const SocketAddress& other) const {
  return Length == other.Length && std::memcmp(Bytes, other.Bytes, static_cast<size_t>(Length)) == 0;
}

SocketAddress MakeIPv4Address(std::uint32_t address, std::uint16_t port) {
  SocketAddress result;
  const sockaddr_in target = IPv4Target<sockaddr_in>(address, port);
  std::memcpy(result.Bytes, &target, sizeof target);
  result.Length = sizeof target;
  return result;
}

SocketAddress MakeIPv6Address(const unsigned char bytes[16], std::uint16_t port) {
  sockaddr_in6 target;
  std::memset(&target, 0, sizeof target);
  target.sin6_family = AF_INET6;
  target.sin6_port = htons(port);
  std::memcpy(&target.sin6_addr, bytes, 16);
  SocketAddress result;
  std::memcpy(result.Bytes, &target, sizeof target);
  result.Length = sizeof target;
  return result;
}

namespace {

// "[2001:db8::1]" gives the text between the brackets; anything else itself.
std::string WithoutBrackets(const char* text) {
  const size_t length = std::strlen(text);
  if (length >= 2 && text[0] == '[' && text[length - 1] == ']') return std::string(text + 1, length - 2);
  return text;
}

// The resolver's addresses of the two families, each once, in its order.
void CollectAddresses(const addrinfo* list, std::uint16_t port, std::vector<SocketAddress>& addresses) {
  for (const addrinfo* a = list; a; a = a->ai_next) {
    if ((a->ai_family != AF_INET && a->ai_family != AF_INET6) || !a->ai_addr ||
        a->ai_addrlen > static_cast<size_t>(SocketAddress::Capacity))
      continue;
    SocketAddress address;
    std::memcpy(address.Bytes, a->ai_addr, a->ai_addrlen);
    address.Length = static_cast<int>(a->ai_addrlen);
    address.SetPort(port);
    bool seen = false;
    for (const SocketAddress& earlier : addresses) seen = seen || earlier == address;
    if (!seen) addresses.push_back(address);
  }
}

// getaddrinfo for `name`: 0 with at least one address, else its own error
// code (EAI_NONAME for a name without addresses of either family).
int LookUpAll(const char* name, std::uint16_t port, int flags, int family, std::vector<SocketAddress>& addresses) {
  addresses.clear();
  addrinfo hints;
  std::memset(&hints, 0, sizeof hints);
  hints.ai_family = family;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_protocol = IPPROTO_TCP;
  hints.ai_flags = flags;
  addrinfo* list = nullptr;
  const int r = getaddrinfo(name, nullptr, &hints, &list);
  if (r != 0) return r;
  CollectAddresses(list, port, addresses);
  freeaddrinfo(list);
  return addresses.empty() ? EAI_NONAME : 0;
}

// The numeric forms: inet_addr's reading of IPv4 (as the IPv4-only lookups
// have it, "127.1" included), IPv6 as getaddrinfo reads it.
bool ParseNumeric(const std::string& text, std::uint16_t port, SocketAddress& address) {
  const std::uint32_t v4 = inet_addr(text.c_str());
  if (v4 != AddressNone || text == "255.255.255.255") {
    address = MakeIPv4Address(v4, port);
    return true;
  }
  // Only the characters of the IPv6 form go to the system's parser, which
  // on Windows also takes brackets and text behind them; a zone may follow "%".
  const size_t zone = text.find('%');
  if (text.find(':') == std::string::npos ||
      text.find_first_not_of("0123456789abcdefABCDEF:.") < std::min(zone, text.size()) ||
      (zone != std::string::npos &&
       text.find_first_not_of("0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ._-", zone + 1) !=
           std::string::npos))
    return false;
  std::vector<SocketAddress> found;
  if (LookUpAll(text.c_str(), port, AI_NUMERICHOST, AF_INET6, found) != 0) return false;
  address = found.front();
  return true;
}

std::string NumericText(const SocketAddress& address) {
  if (address.Family() == AddressFamily::None) return "";
  char text[NI_MAXHOST];
  if (getnameinfo(reinterpret_cast<const sockaddr*>(address.Bytes), static_cast<socklen_t>(address.Length), text,
                  sizeof text, nullptr, 0, NI_NUMERICHOST) != 0)
    return "";
  return text;
}

}  // namespace

bool ParseAddress(const char* text, std::uint16_t port, SocketAddress& address) {
  const size_t length = std::strlen(text);
  const bool bracketed = length >= 2 && text[0] == '[' && text[length - 1] == ']';
  const std::string inner = WithoutBrackets(text);
  if (bracketed && inner.find(':') == std::string::npos) return false;  // "[1.2.3.4]" is not IPv6
  return ParseNumeric(inner, port, address);
}

std::string FormatAddress(const SocketAddress& address) { return NumericText(address); }

std::string ReverseZoneName(const SocketAddress& address) {
  static const char Hex[] = "0123456789abcdef";
  std::string name;
  unsigned char bytes[16];
  if (address.IPv6(bytes)) {
    for (int i = 15; i >= 0; --i) {
      name += Hex[bytes[i] & 0xF];
      name += '.';
      name += Hex[bytes[i] >> 4];
      name += '.';
    }
    return name + "ip6.arpa";
  }
  if (address.Family() != AddressFamily::IPv4) return "";
  const std::uint32_t v4 = address.IPv4();
  const unsigned char* b = reinterpret_cast<const unsigned char*>(&v4);
  for (int i = 3; i >= 0; --i) name += std::to_string(b[i]) + ".";
  return name + "in-addr.arpa";
}

bool ResolveAddressName(const SocketAddress& address, std::string& name) {
  if (address.Family() == AddressFamily::None) return false;
  char text[NI_MAXHOST];
  if (getnameinfo(reinterpret_cast<const sockaddr*>(address.Bytes), static_cast<socklen_t>(address.Length), text,
                  sizeof text, nullptr, 0, NI_NAMEREQD) != 0)
    return false;
  name = text;
  return true;
}

}  // namespace platform
