#include "net/socks5_tunnel.h"

#include <cstring>

#include "net/output_sink.h"
#include "net/stream.h"
#include "net/tunnel_target.h"

namespace {

constexpr unsigned char MethodNone = 0;
constexpr unsigned char MethodUserPass = 2;
constexpr unsigned char MethodNoneAcceptable = 255;
constexpr unsigned char AddressIPv4 = 1;
constexpr unsigned char AddressDomain = 3;
constexpr unsigned char AddressIPv6 = 4;

const char RequestHeader[] = "SOCKS5 Proxy Request:\n========\n";
const char ReplyHeader[] = "SOCKS5 Proxy Reply:\n========\n";

// Sends a whole packet; every packet waits for the reply to the one before,
// since some proxies (microsocks) drop bytes that arrive early.
bool SendPacket(Transport& t, const unsigned char* packet, int length) {
  if (SendToConnection(t, packet, length) == length) return true;
  return FailTunnel(t, ProxyFailure::SendFailed);
}

}  // namespace

// Greeting (method offer):
//
//   0  1  5 (version)
//   1  1  number of methods: 1, or 2 with user name and password
//   2  1  0 (no authentication)
//   3  1  only when offered: 2 (user name and password)
int BuildSocks5Greeting(unsigned char* packet, bool offerUserPass) {
  packet[0] = 5;
  packet[1] = offerUserPass ? 2 : 1;
  packet[2] = MethodNone;
  if (!offerUserPass) return 3;
  packet[3] = MethodUserPass;
  return 4;
}

// User name and password request (RFC 1929):
//
//   0      1  1 (version of the sub-negotiation)
//   1      1  u: length of the user name
//   2      u  the user name
//   2 + u  1  p: length of the password
//   3 + u  p  the password
//
// 3 + u + p bytes, no zero bytes after the texts.
int BuildSocks5AuthRequest(unsigned char* packet, int capacity, const char* user, const char* pass) {
  const size_t u = std::strlen(user);
  const size_t p = std::strlen(pass);
  if (u > Socks5FieldLimit || p > Socks5FieldLimit || capacity < 0 || 3 + u + p > static_cast<size_t>(capacity))
    return -1;
  packet[0] = 1;
  packet[1] = static_cast<unsigned char>(u);
  std::memcpy(packet + 2, user, u);
  packet[2 + u] = static_cast<unsigned char>(p);
  std::memcpy(packet + 3 + u, pass, p);
  return static_cast<int>(3 + u + p);
}

// Connect request:
//
//   0       1      5 (version)
//   1       1      1 (command: connect)
//   2       1      0 (reserved)
//   3       1      address type: 1 IPv4, 3 domain name, 4 IPv6
//   4       4      IPv4: the address, network byte order
//   4       1 + h  domain name: h, then the h characters, no zero byte
//   4       16     IPv6: the address, network byte order
//   8 / 5+h 2      port, high byte first (the low 16 bits of the parsed port)
//   / 20
//
// 10 bytes, 7 + h with a domain name, 22 with IPv6.
int BuildSocks5ConnectRequest(unsigned char* packet, int capacity, const char* host, std::uint32_t address, int port) {
  const size_t h = host ? std::strlen(host) : 0;
  const size_t length = host ? 7 + h : 10;
  if (h > Socks5FieldLimit || capacity < 0 || length > static_cast<size_t>(capacity)) return -1;
  packet[0] = 5;
  packet[1] = 1;
  packet[2] = 0;
  size_t pos = 4;
  if (host) {
    packet[3] = AddressDomain;
    packet[pos++] = static_cast<unsigned char>(h);
    std::memcpy(packet + pos, host, h);
    pos += h;
  } else {
    packet[3] = AddressIPv4;
    std::memcpy(packet + pos, &address, 4);
    pos += 4;
  }
  packet[pos++] = static_cast<unsigned char>((port >> 8) & 0xFF);
  packet[pos++] = static_cast<unsigned char>(port & 0xFF);
  return static_cast<int>(pos);
}

int BuildSocks5AddressRequest(unsigned char* packet, int capacity, const platform::SocketAddress& target, int port) {
  unsigned char v6[16];
  if (!target.IPv6(v6)) {
    if (target.Family() != platform::AddressFamily::IPv4) return -1;
    return BuildSocks5ConnectRequest(packet, capacity, nullptr, target.IPv4(), port);
  }
  if (capacity < 22) return -1;
  packet[0] = 5;
  packet[1] = 1;
  packet[2] = 0;
  packet[3] = AddressIPv6;
  std::memcpy(packet + 4, v6, 16);
  packet[20] = static_cast<unsigned char>((port >> 8) & 0xFF);
  packet[21] = static_cast<unsigned char>(port & 0xFF);
  return 22;
}

int BuildSocks5TargetRequest(unsigned char* packet, int capacity, const char* host, bool proxyResolves, int port) {
  platform::SocketAddress target;
  if (IsIPv6Text(host)) {
    platform::ParseAddress(host, 0, target);
  } else if (proxyResolves) {
    return BuildSocks5ConnectRequest(packet, capacity, host, 0, port);
  } else if (!LookUpTunnelAddress(host, target)) {
    return Socks5Unresolved;
  }
  return BuildSocks5AddressRequest(packet, capacity, target, port);
}

// Method reply: version (not looked at), chosen method. 255 means none of the
// offered methods will do; 2 asks for the user name and password, whether or
// not they were offered; anything else goes on to the connect request.
Socks5MethodVerdict JudgeSocks5MethodReply(const unsigned char* reply, int count) {
  if (count < 2) return Socks5MethodVerdict::BadResponse;
  if (reply[1] == MethodNoneAcceptable) return Socks5MethodVerdict::NoAcceptableMethod;
  if (reply[1] == MethodUserPass) return Socks5MethodVerdict::Authenticate;
  return Socks5MethodVerdict::Connect;
}

// Authentication reply: version (not looked at), status; 0 is success.
Socks5AuthVerdict JudgeSocks5AuthReply(const unsigned char* reply, int count) {
  if (count < 2) return Socks5AuthVerdict::BadResponse;
  return reply[1] == 0 ? Socks5AuthVerdict::Accepted : Socks5AuthVerdict::Rejected;
}

// Connect reply: version, reply code, reserved, address type, the bound
// address (4 bytes; a length byte and that many characters; 16 bytes), the
// bound port (2 bytes). Proxies answer with the address they really bound, so
// the length follows the address type, not the request.
int Socks5ConnectReplyLength(const unsigned char* reply, int count) {
  if (count < Socks5ReplyHeadLength) return -1;
  switch (reply[3]) {
    case AddressIPv4: return 4 + 4 + 2;
    case AddressDomain: return 4 + 1 + reply[4] + 2;
    case AddressIPv6: return 4 + 16 + 2;
    default: return -1;
  }
}

// A failure code is taken as soon as it has come, even from a short reply; a
// success counts only with the whole reply, so that no byte of it is left to
// be read as whois data.
Socks5ConnectStatus JudgeSocks5ConnectReply(const unsigned char* reply, int count) {
  if (count < 2) return {Socks5ConnectVerdict::BadResponse, 0};
  if (reply[1] != 0) return {Socks5ConnectVerdict::Failed, reply[1]};
  const int length = Socks5ConnectReplyLength(reply, count);
  if (length < 0 || count < length) return {Socks5ConnectVerdict::BadResponse, 0};
  return {Socks5ConnectVerdict::Succeeded, 0};
}

const char* Socks5ReplyText(int code) {
  switch (code) {
    case 0: return "Operation completed successfully.";
    case 1: return "General SOCKS server failure.";
    case 2: return "Connection not allowed by ruleset.";
    case 3: return "Network unreachable.";
    case 4: return "Host unreachable.";
    case 5: return "Connection refused.";
    case 6: return "TTL expired.";
    case 7: return "Command not supported.";
    case 8: return "Address type not supported.";
    default: return "Unknown error.";
  }
}

bool OpenSocks5Tunnel(Transport& t, const char* host, int port) {
  const ProxyOptions& proxy = t.Proxy;
  OutputSink& out = t.Out;
  // Built first so that a host that does not resolve here, or a host name
  // too long for its length byte, is refused before anything is sent.
  unsigned char connect[Socks5PacketCapacity];
  const int connectLength = BuildSocks5TargetRequest(connect, sizeof connect, host, proxy.Resolve, port);
  if (connectLength == Socks5Unresolved) {
    ReportResolveFailure(t, host);
    CloseConnection(t);
    return false;
  }
  if (connectLength < 0) return FailTunnel(t, ProxyFailure::HostNameTooLong);

  unsigned char packet[Socks5PacketCapacity];
  const int greetingLength = BuildSocks5Greeting(packet, proxy.UseAuth);
  if (!SendPacket(t, packet, greetingLength)) return false;

  unsigned char reply[Socks5PacketCapacity] = {};
  int count = ReceiveFullFromConnection(t, reply, 2);
  if (TunnelAborted(t)) return false;
  ProxyDumpPacket(t, ReplyHeader, reply, count);
  switch (JudgeSocks5MethodReply(reply, count)) {
    case Socks5MethodVerdict::BadResponse: return FailTunnel(t, ProxyFailure::BadResponse);
    case Socks5MethodVerdict::NoAcceptableMethod: return FailTunnel(t, ProxyFailure::NoAcceptableMethod);
    case Socks5MethodVerdict::Connect: break;
    case Socks5MethodVerdict::Authenticate: {
      if (proxy.Debug) out.AppendOutput(Detail, "Authenticating!\n");
      const int authLength = BuildSocks5AuthRequest(packet, sizeof packet, proxy.Login, proxy.Pass);
      if (authLength < 0) return FailTunnel(t, ProxyFailure::CredentialsTooLong);
      ProxyDumpPacket(t, RequestHeader, packet, authLength);  // shows the password in clear
      if (!SendPacket(t, packet, authLength)) return false;
      count = ReceiveFullFromConnection(t, reply, 2);
      if (TunnelAborted(t)) return false;
      switch (JudgeSocks5AuthReply(reply, count)) {
        case Socks5AuthVerdict::BadResponse: return FailTunnel(t, ProxyFailure::BadResponse);
        case Socks5AuthVerdict::Rejected: return FailTunnel(t, ProxyFailure::BadCredentials);
        case Socks5AuthVerdict::Accepted: break;
      }
      break;
    }
  }

  ProxyDumpPacket(t, RequestHeader, connect, connectLength);
  if (!SendPacket(t, connect, connectLength)) return false;

  // The head tells the reply's length; the rest is read to exactly that, so
  // the whois reply behind it stays in the stream.
  std::memset(reply, 0, sizeof reply);
  count = ReceiveFullFromConnection(t, reply, Socks5ReplyHeadLength);
  const int length = Socks5ConnectReplyLength(reply, count);
  if (length > count) count += ReceiveFullFromConnection(t, reply + count, length - count);
  if (TunnelAborted(t)) return false;
  ProxyDumpPacket(t, ReplyHeader, reply, 10);  // ten lines, whatever the reply's length

  const Socks5ConnectStatus status = JudgeSocks5ConnectReply(reply, count);
  switch (status.Verdict) {
    case Socks5ConnectVerdict::Succeeded: return true;
    case Socks5ConnectVerdict::BadResponse: return FailTunnel(t, ProxyFailure::BadResponse);
    case Socks5ConnectVerdict::Failed: break;
  }
  AppendFormatted(t.Out, Error, "SOCKS Error #%d %s\n", status.Code, Socks5ReplyText(status.Code));
  CloseConnection(t);
  return false;
}
