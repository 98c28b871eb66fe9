#include "net/connection.h"

#include <chrono>
#include <cstring>
#include <string>
#include <vector>

#include "net/happy_eyeballs.h"
#include "net/http_tunnel.h"
#include "net/output_sink.h"
#include "net/socks4_tunnel.h"
#include "net/socks5_tunnel.h"

namespace {

// Every address of the name, raced (RFC 8305) within the 30 seconds; the
// race looks at the flags several times a second, so a server that drops
// connection attempts cannot hold the lookup out of reach of Escape and Ctrl-C.
// `proxy`: the target is the proxy, which the failure texts then name.
ConnectOutcome ConnectWithin(Transport& t, const std::vector<platform::SocketAddress>& addresses, const char* name,
                             int port, bool proxy) {
  OutputSink& out = t.Out;
  const ConnectResult result = RaceConnect(addresses, std::chrono::seconds(ConnectSeconds),
                                           [&t] { return t.CancelRequested(); });
  switch (result.State) {
    case ConnectResult::Connected: t.Connection = result.Socket; return ConnectOutcome::Sent;
    case ConnectResult::Cancelled:
      out.AppendOutput(Error, NetTextOf(NetText::AbortedByUser));
      return ConnectOutcome::Cancelled;
    default:
      out.AppendOutput(Error, proxy ? ProxyConnectFailureText(name, port).c_str() : NetTextOf(NetText::CannotConnect));
      return ConnectOutcome::ConnectFailed;
  }
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

namespace {
ConnectOutcome Connect(Transport& t, const ServerAddress& whois, const char* query);
}  // namespace

ConnectOutcome ConnectAndSend(Transport& t, const char* server, const char* query) {
  OutputSink& out = t.Out;
  out.AppendOutput(Detail, "\nQuerying ");
  const ServerAddress whois = SplitServerText(server);
  out.AppendOutput(Detail, FormatHostPort(whois.Host, whois.Port).c_str());
  out.AppendOutput(Detail, "...\n");

  // The lookup's copy of the proxy options, whatever the dialog stores
  // meanwhile, or the one its front end chooses for this server; the tunnels
  // read it from the transport for this exchange.
  const ProxyOptions lookupProxy = t.Proxy;
  t.Proxy = t.ProxyFor(whois.Host, false);
  const ConnectOutcome outcome = Connect(t, whois, query);
  t.Proxy = lookupProxy;
  return outcome;
}

namespace {

ConnectOutcome Connect(Transport& t, const ServerAddress& whois, const char* query) {
  OutputSink& out = t.Out;
  const ProxyOptions& proxy = t.Proxy;
  const char* targetName = proxy.Enabled ? proxy.Server : whois.Host;
  const int targetPort = proxy.Enabled ? proxy.Port : whois.Port;

  out.SetStatus(ActivityPart, "Resolving...");
  std::vector<platform::SocketAddress> addresses;
  if (!platform::ResolveAll(targetName, static_cast<std::uint16_t>(targetPort), addresses)) {
    if (proxy.Enabled) out.AppendOutput(Error, ProxyResolveFailureText(targetName, targetPort).c_str());
    else ReportResolveFailure(t, targetName);
    return ConnectOutcome::ResolveFailed;
  }

  if (proxy.Enabled && proxy.Debug) out.AppendOutput(Plain, "Connecting to proxy...\n");
  out.SetStatus(ActivityPart, "Connecting...");
  const ConnectOutcome connected = ConnectWithin(t, addresses, targetName, targetPort, proxy.Enabled);
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

}  // namespace
