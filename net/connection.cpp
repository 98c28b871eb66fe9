#include "net/connection.h"

#include <chrono>
#include <cstring>
#include <string>

#include "net/http_tunnel.h"
#include "net/output_sink.h"
#include "net/proxy_options.h"
#include "net/socks4_tunnel.h"
#include "net/socks5_tunnel.h"

namespace {

ConnectOutcome lastOutcome = ConnectOutcome::Sent;

bool Fail(ConnectOutcome outcome) {
  lastOutcome = outcome;
  return false;
}

// The connect runs without blocking, in steps of a second that look at the
// flags: a server that drops connection attempts would otherwise hold the
// lookup for minutes, out of reach of Escape and Ctrl-C.
ConnectOutcome ConnectWithin(std::uint32_t address, int port) {
  OutputSink& out = Output();
  const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(ConnectSeconds);
  int state = platform::StartConnectIPv4(CurrentConnection, address, static_cast<std::uint16_t>(port));
  while (state == 0) {
    if (CancelRequested()) {
      out.AppendOutput(Error, AbortedByUserText);
      return ConnectOutcome::Cancelled;
    }
    if (std::chrono::steady_clock::now() >= giveUp) break;
    state = platform::WaitConnected(CurrentConnection, 1);
  }
  if (state != 1) {
    out.AppendOutput(Error, "Cannot connect socket\n");
    return ConnectOutcome::ConnectFailed;
  }
  return ConnectOutcome::Sent;
}

bool OpenTunnel(const ProxyOptions& proxy, const ServerAddress& whois) {
  BeginProxyHandshake(proxy.Debug);
  switch (proxy.Type) {
    case HTTP: return OpenHttpTunnel(proxy, whois.Host, whois.Port);
    case Socks4: return OpenSocks4Tunnel(proxy, whois.Host, whois.Port);
    case Socks5: return OpenSocks5Tunnel(proxy, whois.Host, whois.Port);
    default: Output().AppendOutput(Error, "Proxy Type not supported yet!\n"); return true;
  }
}

}  // namespace

int ParseLeadingInt(const char* text) {
  const char* p = text;
  while (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r' || *p == '\f' || *p == '\v') ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') negative = *p++ == '-';
  std::uint32_t value = 0;
  for (; *p >= '0' && *p <= '9'; ++p) value = value * 10u + static_cast<std::uint32_t>(*p - '0');
  if (negative) value = 0u - value;
  return static_cast<int>(value);
}

ServerAddress SplitServerText(const char* server) {
  ServerAddress result;
  const char* colon = std::strchr(server, ':');
  size_t hostLength = colon ? static_cast<size_t>(colon - server) : std::strlen(server);
  if (hostLength > HostTextCapacity - 1) hostLength = HostTextCapacity - 1;
  std::memcpy(result.Host, server, hostLength);
  result.Host[hostLength] = '\0';
  result.Port = colon ? ParseLeadingInt(colon + 1) : DefaultWhoisPort;
  return result;
}

ConnectOutcome LastConnectOutcome() { return lastOutcome; }

bool ConnectAndSend(const char* server, const char* query) {
  OutputSink& out = Output();
  out.AppendOutput(Detail, "\nQuerying ");
  const ServerAddress whois = SplitServerText(server);
  out.AppendOutput(Detail, whois.Host);
  AppendFormatted(Detail, ":%i...\n", whois.Port);

  // One copy of the proxy options serves the whole exchange, whatever the
  // proxy dialog stores meanwhile.
  const ProxyOptions proxy = SnapshotProxyOptions();
  const char* targetName = proxy.Enabled ? proxy.Server : whois.Host;
  const int targetPort = proxy.Enabled ? proxy.Port : whois.Port;

  out.SetStatus(ActivityPart, "Resolving...");
  std::uint32_t address;
  if (!LookUpAddress(targetName, address)) {
    ReportResolveFailure(targetName);
    return Fail(ConnectOutcome::ResolveFailed);
  }

  if (proxy.Enabled && proxy.Debug) out.AppendOutput(Plain, "Connecting to proxy...\n");
  out.SetStatus(ActivityPart, "Connecting...");
  CurrentConnection = platform::OpenTcpSocket();
  if (CurrentConnection == platform::InvalidSocket) {
    out.AppendOutput(Error, "Cannot create socket\n");
    return Fail(ConnectOutcome::ConnectFailed);
  }
  const ConnectOutcome connected = ConnectWithin(address, targetPort);
  if (connected != ConnectOutcome::Sent) return Fail(connected);

  out.SetStatus(ActivityPart, "Sending Request...");
  const std::string line = std::string(query) + "\r\n";
  if (proxy.Enabled && !OpenTunnel(proxy, whois))
    return Fail(CancelRequested() ? ConnectOutcome::Cancelled : ConnectOutcome::ProxyFailed);

  if (SendToConnection(line.data(), static_cast<int>(line.size())) < 0) {
    out.AppendOutput(Error, "Error during send.\n");
    return Fail(ConnectOutcome::SendFailed);
  }
  BeginReply(whois.Host, whois.Port);
  lastOutcome = ConnectOutcome::Sent;
  return true;
}
