#include "net/socks4_tunnel.h"

#include <cstring>

#include "net/output_sink.h"
#include "net/stream.h"
#include "net/tunnel_target.h"
#include "platform/text.h"

namespace {

// SOCKS4 names the whois server by an IPv4 address, looked up here. A host
// with IPv6 addresses only cannot be reached that way: that is said before
// anything is sent. False when reported (the connection closed).
bool LookUpSocks4Target(Transport& t, const char* host, std::uint32_t& address) {
  platform::SocketAddress target;
  if (!LookUpTunnelAddress(host, target)) {
    ReportResolveFailure(t, host);
    CloseConnection(t);
    return false;
  }
  if (target.Family() != platform::AddressFamily::IPv4) {
    AppendFormatted(t.Out, Error, "SOCKS4 can not reach the IPv6 host '%s': use SOCKS4a or SOCKS5\n", host);
    CloseConnection(t);
    return false;
  }
  address = target.IPv4();
  return true;
}

}  // namespace

// Connect request:
//
//   offset  size   content
//   0       1      4 (version)
//   1       1      1 (command: connect)
//   2       2      port, high byte first (the low 16 bits of the parsed port)
//   4       4      SOCKS4: the IPv4 address, network byte order
//                  SOCKS4a: 0, 0, 0, 1 (an invalid address: "the name follows")
//   8       n + 1  user id, then a zero byte
//   9 + n   m + 1  SOCKS4a only: the host name, then a zero byte
//
// 9 + n bytes, or 10 + n + m in the SOCKS4a form.
int BuildSocks4Request(unsigned char* packet, int capacity, int port, std::uint32_t address, const char* userId,
                       const char* host) {
  const size_t idLength = std::strlen(userId);
  const size_t hostLength = host ? std::strlen(host) : 0;
  const size_t length = 8 + idLength + 1 + (host ? hostLength + 1 : 0);
  if (capacity < 0 || length > static_cast<size_t>(capacity)) return -1;

  packet[0] = 4;
  packet[1] = 1;
  packet[2] = static_cast<unsigned char>((port >> 8) & 0xFF);
  packet[3] = static_cast<unsigned char>(port & 0xFF);
  if (host) {
    const unsigned char marker[4] = {0, 0, 0, 1};
    std::memcpy(packet + 4, marker, 4);
  } else {
    std::memcpy(packet + 4, &address, 4);
  }
  std::memcpy(packet + 8, userId, idLength + 1);
  if (host) std::memcpy(packet + 9 + idLength, host, hostLength + 1);
  return static_cast<int>(length);
}

// Reply: version (0, though some proxies send 4; not looked at), status,
// port, address. Status 90 grants the request; 91 to 93 and anything else
// refuse it.
Socks4ReplyStatus JudgeSocks4Reply(const unsigned char* reply, int count) {
  const int code = count >= 2 ? reply[1] : 0;
  if (code != Socks4Granted) return {Socks4Verdict::Refused, code};
  if (count < Socks4ReplyLength) return {Socks4Verdict::Truncated, code};
  return {Socks4Verdict::Granted, code};
}

bool OpenSocks4Tunnel(Transport& t, const char* host, int port) {
  const ProxyOptions& proxy = t.Proxy;
  const bool proxyResolves = proxy.Resolve;
  std::uint32_t address = 0;
  if (!proxyResolves && !LookUpSocks4Target(t, host, address)) return false;
  if (proxyResolves && std::strlen(host) > static_cast<size_t>(Socks4HostNameLimit))
    return FailTunnel(t, ProxyFailure::HostNameTooLong);

  // SOCKS4 carries a user id but no password.
  char userId[ProxyTextCapacity] = "";
  if (proxy.UseAuth) CopyText(userId, sizeof userId, proxy.Login);

  unsigned char packet[Socks4PacketCapacity];
  const int length = BuildSocks4Request(packet, sizeof packet, port, address, userId, proxyResolves ? host : nullptr);
  if (length < 0) return FailTunnel(t, ProxyFailure::CredentialsTooLong);
  ProxyDumpPacket(t, "SOCKS4 Proxy Request:\n========\n", packet, length);
  if (SendToConnection(t, packet, length) != length) return FailTunnel(t, ProxyFailure::SendFailed);

  // Exactly the 8 reply bytes are taken, so nothing of the whois reply is;
  // the listing shows one byte more, zero-filled, whatever arrived.
  unsigned char reply[Socks4ReplyLength + 1] = {};
  const int count = ReceiveFullFromConnection(t, reply, Socks4ReplyLength);
  if (TunnelAborted(t)) return false;
  ProxyDumpPacket(t, "SOCKS4 Proxy Reply:\n========\n", reply, Socks4ReplyLength + 1);

  const Socks4ReplyStatus status = JudgeSocks4Reply(reply, count);
  if (status.Verdict == Socks4Verdict::Granted) return true;
  if (status.Verdict == Socks4Verdict::Truncated) return FailTunnel(t, ProxyFailure::BadResponse);
  OutputSink& out = t.Out;
  out.AppendOutput(Error, ProxyErrorCodeText);
  AppendFormatted(t.Out, Error, "#%d", status.Code);
  out.AppendOutput(Error, "\n");
  CloseConnection(t);
  return false;
}
