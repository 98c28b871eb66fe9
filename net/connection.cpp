#include "net/connection.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

#include "net/http_tunnel.h"
#include "net/output_sink.h"
#include "net/socks4_tunnel.h"
#include "net/socks5_tunnel.h"
#include "settings/settings.h"

std::atomic<int> CancelFlag{0};
std::atomic<int> QuitFlag{0};
platform::Socket CurrentConnection = platform::InvalidSocket;

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

bool LookUpAddress(const char* name, std::uint32_t& address) {
  address = platform::ParseIPv4(name);
  if (address != 0 && address != platform::AddressNone) return true;
  platform::HostEntry entry;
  if (!platform::ResolveName(name, entry)) return false;
  address = entry.Addresses.front();
  return true;
}

bool LookUpTunnelTarget(const char* host, std::uint32_t& address) {
  if (LookUpAddress(host, address)) return true;
  AppendFormatted(Error, "Can not resolve host '%s'\n", host);
  CloseConnection();
  return false;
}

int SendToConnection(const void* data, int length) {
  const char* p = static_cast<const char*>(data);
  int sent = 0;
  while (sent < length) {
    const int n = platform::SendBytes(CurrentConnection, p + sent, length - sent);
    if (n < 0) return -1;
    if (n == 0) break;
    sent += n;
  }
  return sent;
}

namespace {

// Set when the user gave up on a silent proxy; the tunnels then end quietly.
bool tunnelAborted = false;

// A proxy that accepts and then says nothing would hold the lookup for ever:
// its replies are awaited in one-second steps, like the whois reply, so that
// Escape and shutdown are noticed. False after such a cancel.
bool WaitForProxyData() {
  if (tunnelAborted) return false;
  for (;;) {
    if (platform::WaitReadable(CurrentConnection, 1) != 0) return true;  // the receive tells what came
    if (CancelFlag == 1 || QuitFlag == 1) {
      Output().AppendOutput(Error, "< Aborted by user >\n");
      tunnelAborted = true;
      return false;
    }
  }
}

}  // namespace

bool TunnelAborted() { return tunnelAborted; }

int ReceiveFromConnection(void* buffer, int capacity) {
  if (!WaitForProxyData()) return -1;
  return platform::ReceiveBytes(CurrentConnection, buffer, capacity);
}

int ReceiveFullFromConnection(void* buffer, int count) {
  char* p = static_cast<char*>(buffer);
  int have = 0;
  while (have < count && WaitForProxyData()) {
    const int n = platform::ReceiveBytes(CurrentConnection, p + have, count - have);
    if (n <= 0) break;
    have += n;
  }
  return have;
}

bool FailTunnel(const char* message) {
  Output().AppendOutput(Error, message);
  CloseConnection();
  return false;
}

bool ConnectAndSend(const char* server, const char* query) {
  OutputSink& out = Output();
  tunnelAborted = false;
  out.AppendOutput(Detail, "\nQuerying ");
  const ServerAddress whois = SplitServerText(server);
  out.AppendOutput(Detail, whois.Host);
  AppendFormatted(Detail, ":%i...\n", whois.Port);

  const bool viaProxy = Settings.Enabled != 0;
  char proxyHost[ProxyTextCapacity];
  CopyText(proxyHost, sizeof proxyHost, Settings.Server);
  const char* targetName = viaProxy ? proxyHost : whois.Host;
  const int targetPort = viaProxy ? Settings.Port.load() : whois.Port;

  out.SetStatus(ActivityPart, "Resolving...");
  std::uint32_t address;
  if (!LookUpAddress(targetName, address)) {
    AppendFormatted(Error, "Can not resolve host '%s'\n", targetName);
    return false;
  }

  if (viaProxy && Settings.Debug) out.AppendOutput(Plain, "Connecting to proxy...\n");
  out.SetStatus(ActivityPart, "Connecting...");
  CurrentConnection = platform::OpenTcpSocket();
  if (CurrentConnection == platform::InvalidSocket) {
    out.AppendOutput(Error, "Cannot create socket\n");
    return false;
  }
  if (platform::ConnectIPv4(CurrentConnection, address, static_cast<std::uint16_t>(targetPort)) != 0) {
    out.AppendOutput(Error, "Cannot connect socket\n");
    return false;
  }

  out.SetStatus(ActivityPart, "Sending Request...");
  const std::string line = std::string(query) + "\r\n";

  if (viaProxy) {
    bool tunnel = true;
    switch (Settings.Type.load()) {
      case HTTP: tunnel = OpenHttpTunnel(whois.Host, whois.Port); break;
      case Socks4: tunnel = OpenSocks4Tunnel(whois.Host, whois.Port); break;
      case Socks5: tunnel = OpenSocks5Tunnel(whois.Host, whois.Port); break;
      default: out.AppendOutput(Error, "Proxy Type not supported yet!\n"); break;
    }
    if (!tunnel) return false;
  }

  if (SendToConnection(line.data(), static_cast<int>(line.size())) < 0) {
    out.AppendOutput(Error, "Error during send.\n");
    return false;
  }
  return true;
}

namespace {

// A server that sends a byte every few milliseconds never leaves a silent
// second, so a cancel that has waited this long while data kept coming is
// honoured too. A reply that ends within it is still received whole.
constexpr auto CancelGrace = std::chrono::seconds(1);
// When the current reply wait first saw the cancel while data came; zero when
// it has not.
std::chrono::steady_clock::time_point cancelSeenAt;

}  // namespace

int ReceiveReply(char* buffer, int capacity) {
  for (;;) {
    const int ready = platform::WaitReadable(CurrentConnection, 1);
    const bool cancelled = CancelFlag == 1 || QuitFlag == 1;
    bool abort = ready == 0 && cancelled;
    if (ready > 0 && cancelled) {
      const auto now = std::chrono::steady_clock::now();
      if (cancelSeenAt == std::chrono::steady_clock::time_point{}) cancelSeenAt = now;
      abort = now - cancelSeenAt >= CancelGrace;
    } else if (!cancelled) {
      cancelSeenAt = {};
    }
    if (abort) {
      Output().AppendOutput(Error, "< Aborted by user >\n");
      return -1;
    }
    if (ready == 0) continue;
    // A wait that fails would fail again at once: end the reply like a
    // receive error instead of spinning.
    const int n = ready < 0 ? -1 : platform::ReceiveBytes(CurrentConnection, buffer, capacity);
    if (n < 0) {
      const int code = platform::LastSocketError();
      AppendFormatted(Error, ">>Error: %i, %s<<\n", code, SocketErrorText(code));
      return -1;
    }
    return n;
  }
}

bool CloseConnection() {
  if (CurrentConnection != platform::InvalidSocket) platform::CloseSocket(CurrentConnection);
  CurrentConnection = platform::InvalidSocket;
  cancelSeenAt = {};
  return true;
}

const char* SocketErrorText(int code) {
  switch (code) {
    case 10004: return "The call was canceled";
    case 10022: return "invalid winsock version";
    case 10036: return "A blocking winsock operation is in progress";
    case 10050: return "winsock has detected that the network subsystem has failed";
    case 10051: return "The host is unreachable.";
    case 10054: return "connection closed by remote side";
    case 10060: return "Connection timedout.";
    case 10061: return "Connection refused.";
    case 10091: return "tcp/ip network not ready";
    case 10092: return "wrong winsock version";
    case 10093: return "winsock not initialized";
    case 11001: return "Authoritative Answer Host not found";
    case 11002: return "Non-Authoritative Host not found, or SERVERFAIL";
    case 11003: return "Nonrecoverable errors: FORMERR, REFUSED, NOTIMP";
    case 11004: return "Valid name, no data record of requested type";
    default: return "unknown winsock error";
  }
}

void ProxyDump(const char* header, const char* body) {
  if (!Settings.Debug) return;
  OutputSink& out = Output();
  out.AppendOutput(Detail, header);
  out.AppendOutput(Detail, body);
  out.AppendOutput(Detail, "\n===============\n");
}

void ProxyDumpPacket(const char* header, const unsigned char* bytes, int count) {
  if (!Settings.Debug) return;
  std::string listing;
  char line[48];
  for (int i = 0; i < count; ++i) {
    // Byte 31 is shown with its character; only 0 to 30 are not.
    if (bytes[i] >= 31)
      std::snprintf(line, sizeof line, "packet[%i] -> %u '%c'\n", i, bytes[i], static_cast<char>(bytes[i]));
    else
      std::snprintf(line, sizeof line, "packet[%i] -> %u\n", i, bytes[i]);
    listing += line;
  }
  ProxyDump(header, listing.c_str());
}
