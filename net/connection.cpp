#include "net/connection.h"

#include <chrono>
#include <cstring>
#include <string>

#include "net/http_tunnel.h"
#include "net/output_sink.h"
#include "net/socks4_tunnel.h"
#include "net/socks5_tunnel.h"
#include "platform/decimal.h"

namespace {

// The connect runs without blocking, in steps of a second that look at the
// flags: a server that drops connection attempts would otherwise hold the
// lookup for minutes, out of reach of Escape and Ctrl-C.
ConnectOutcome ConnectWithin(Transport& t, std::uint32_t address, int port) {
  OutputSink& out = t.Out;
  const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(ConnectSeconds);
  int state = platform::StartConnectIPv4(t.Connection, address, static_cast<std::uint16_t>(port));
  while (state == 0) {
    if (t.CancelRequested()) {
      out.AppendOutput(Error, NetTextOf(NetText::AbortedByUser));
      return ConnectOutcome::Cancelled;
    }
    if (std::chrono::steady_clock::now() >= giveUp) break;
    state = platform::WaitConnected(t.Connection, 1);
  }
  if (state != 1) {
    out.AppendOutput(Error, NetTextOf(NetText::CannotConnect));
    return ConnectOutcome::ConnectFailed;
  }
  return ConnectOutcome::Sent;
}

bool OpenTunnel(Transport& t, const ServerAddress& whois) {
  BeginProxyHandshake(t);
  switch (t.Proxy.Type) {
    case HTTP: return OpenHttpTunnel(t, whois.Host, whois.Port);
    case Socks4: return OpenSocks4Tunnel(t, whois.Host, whois.Port);
    case Socks5: return OpenSocks5Tunnel(t, whois.Host, whois.Port);
    default: t.Out.AppendOutput(Error, NetTextOf(NetText::ProxyTypeNotSupported)); return true;
  }
}

}  // namespace

ServerAddress SplitServerText(const char* server) {
  ServerAddress result;
  const char* colon = std::strchr(server, ':');
  size_t hostLength = colon ? static_cast<size_t>(colon - server) : std::strlen(server);
  if (hostLength > HostTextCapacity - 1) hostLength = HostTextCapacity - 1;
  std::memcpy(result.Host, server, hostLength);
  result.Host[hostLength] = '\0';
  result.Port = colon ? platform::ParseLeadingInt(colon + 1) : DefaultWhoisPort;
  return result;
}

ConnectOutcome ConnectAndSend(Transport& t, const char* server, const char* query) {
  OutputSink& out = t.Out;
  out.AppendOutput(Detail, "\nQuerying ");
  const ServerAddress whois = SplitServerText(server);
  out.AppendOutput(Detail, whois.Host);
  AppendFormatted(out, Detail, ":%i...\n", whois.Port);

  // The lookup's copy of the proxy options, whatever the dialog stores meanwhile.
  const ProxyOptions& proxy = t.Proxy;
  const char* targetName = proxy.Enabled ? proxy.Server : whois.Host;
  const int targetPort = proxy.Enabled ? proxy.Port : whois.Port;

  out.SetStatus(ActivityPart, "Resolving...");
  std::uint32_t address;
  if (!LookUpAddress(targetName, address)) {
    ReportResolveFailure(t, targetName);
    return ConnectOutcome::ResolveFailed;
  }

  if (proxy.Enabled && proxy.Debug) out.AppendOutput(Plain, "Connecting to proxy...\n");
  out.SetStatus(ActivityPart, "Connecting...");
  t.Connection = platform::OpenTcpSocket();
  if (t.Connection == platform::InvalidSocket) {
    out.AppendOutput(Error, NetTextOf(NetText::CannotCreateSocket));
    return ConnectOutcome::ConnectFailed;
  }
  const ConnectOutcome connected = ConnectWithin(t, address, targetPort);
  if (connected != ConnectOutcome::Sent) return connected;

  out.SetStatus(ActivityPart, "Sending Request...");
  const std::string line = std::string(query) + "\r\n";
  if (proxy.Enabled && !OpenTunnel(t, whois))
    return t.CancelRequested() ? ConnectOutcome::Cancelled : ConnectOutcome::ProxyFailed;

  if (SendToConnection(t, line.data(), static_cast<int>(line.size())) < 0) {
    out.AppendOutput(Error, NetTextOf(NetText::SendFailed));
    return ConnectOutcome::SendFailed;
  }
  BeginReply(t, whois.Host, whois.Port);
  return ConnectOutcome::Sent;
}
