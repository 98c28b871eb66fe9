// Socks5 proxy tunnel to the whois server over the lookup's connection: method
// negotiation, user name and password authentication, the connect request.
#pragma once
#include <cstdint>

#include "net/transport.h"
#include "platform/sockets.h"

// Every length field of the protocol is one byte.
constexpr int Socks5FieldLimit = 255;
// The longest packet either way: a user name and password request with both
// fields full (a connect request or reply with a domain name is shorter).
constexpr int Socks5PacketCapacity = 3 + 2 * Socks5FieldLimit;
// Enough of a connect reply to know its whole length.
constexpr int Socks5ReplyHeadLength = 5;

// Builders: the packet's length, or -1 when a text does not fit its field or
// the packet does not fit `capacity`.
int BuildSocks5Greeting(unsigned char* packet, bool offerUserPass);
int BuildSocks5AuthRequest(unsigned char* packet, int capacity, const char* user, const char* pass);
// With `host` null the IPv4 form carries `address` (network byte order); with
// a host name the domain-name form lets the proxy resolve it.
int BuildSocks5ConnectRequest(unsigned char* packet, int capacity, const char* host, std::uint32_t address, int port);

// The connect request by address: the IPv4 form (type 1) or the IPv6 form
// (type 4, 22 bytes) after the address's family; `port` as above. -1 when it
// does not fit or the address is neither.
int BuildSocks5AddressRequest(unsigned char* packet, int capacity, const platform::SocketAddress& target, int port);
// The connect request for the whois server `host`: an IPv6 address always in
// the IPv6 form; else, when the proxy resolves, the domain-name form; else by
// the address looked up here (IPv4 when the host has one). -1 when it does
// not fit, Socks5Unresolved when the lookup here finds nothing.
constexpr int Socks5Unresolved = -2;
int BuildSocks5TargetRequest(unsigned char* packet, int capacity, const char* host, bool proxyResolves, int port);

enum class Socks5MethodVerdict { BadResponse, NoAcceptableMethod, Authenticate, Connect };
Socks5MethodVerdict JudgeSocks5MethodReply(const unsigned char* reply, int count);

enum class Socks5AuthVerdict { BadResponse, Rejected, Accepted };
Socks5AuthVerdict JudgeSocks5AuthReply(const unsigned char* reply, int count);

// The whole connect reply's length, known from its first 5 bytes; -1 before
// they have come or for an unknown address type.
int Socks5ConnectReplyLength(const unsigned char* reply, int count);

enum class Socks5ConnectVerdict { Succeeded, Failed, BadResponse };
struct Socks5ConnectStatus {
  Socks5ConnectVerdict Verdict;
  int Code;  // the reply code, for Failed
};
Socks5ConnectStatus JudgeSocks5ConnectReply(const unsigned char* reply, int count);

// The text for a connect reply code.
const char* Socks5ReplyText(int code);

// True when the tunnel stands; on false the failure has been reported and the
// connection closed.
bool OpenSocks5Tunnel(Transport& t, const char* host, int port);
