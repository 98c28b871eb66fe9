// Socks4 proxy tunnel to the whois server over the lookup's connection, with the
// SOCKS4a form when the proxy is to resolve the host name.
#pragma once
#include <cstdint>

#include "net/transport.h"

// A host name handed to the proxy holds at most this many characters (a DNS
// name has at most 253).
constexpr int Socks4HostNameLimit = 255;
// The fixed 8 bytes, the longest user id the settings hold and its zero, the
// longest host name and its zero.
constexpr int Socks4PacketCapacity = 8 + ProxyTextCapacity + Socks4HostNameLimit + 1;
constexpr int Socks4ReplyLength = 8;
constexpr int Socks4Granted = 90;

// Builds the connect request into `packet`. `address` is the whois server's
// IPv4 address in network byte order, used when `host` is null; with a host
// name the SOCKS4a form is built. The length, or -1 when it would not fit.
int BuildSocks4Request(unsigned char* packet, int capacity, int port, std::uint32_t address, const char* userId,
                       const char* host);

enum class Socks4Verdict {
  Granted,    // all 8 bytes, status 90
  Refused,    // any other status; a proxy that sent nothing reads as status 0
  Truncated,  // status 90, but the reply stopped short of 8 bytes
};
struct Socks4ReplyStatus {
  Socks4Verdict Verdict;
  int Code;  // the status byte, 0 when it did not arrive
};
Socks4ReplyStatus JudgeSocks4Reply(const unsigned char* reply, int count);

// True when the tunnel stands; on false the failure has been reported and the
// connection closed.
bool OpenSocks4Tunnel(Transport& t, const char* host, int port);
