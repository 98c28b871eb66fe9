#include "net/stream.h"

#include <chrono>
#include <cstdio>
#include <string>

#include "net/output_sink.h"
#include "settings/settings.h"

std::atomic<int> CancelFlag{0};
std::atomic<int> QuitFlag{0};
platform::Socket CurrentConnection = platform::InvalidSocket;

const char AbortedByUserText[] = "< Aborted by user >\n";
const char ProxyErrorCodeText[] = "Received error code from proxy: ";

namespace {

using Clock = std::chrono::steady_clock;

// The state of the exchange in progress, for its waits and dumps.
struct StreamState {
  // A server that sends a byte every few milliseconds never leaves a silent
  // second, so a cancel that has waited this long while data kept coming is
  // honoured too. A reply that ends within it is still received whole.
  Clock::time_point cancelSeenAt;  // zero while no cancel has been seen
  Clock::time_point lastByteAt;    // zero before the reply wait begins
  std::string peer = "?";          // the whois server, "host:port"
  Clock::time_point handshakeEnds;
  bool handshakeAborted = false;
  bool dumps = false;
  // While the server keeps filling the buffer, the next bytes are most likely
  // waiting already: they are taken without the wait, up to QuickReceiveRun
  // times in a row, after which the wait runs once again.
  bool lastFull = false;
  int quickReceives = 0;
};
StreamState stream;

constexpr auto CancelGrace = std::chrono::seconds(1);
constexpr int QuickReceiveRun = 64;

}  // namespace

bool CancelRequested() { return CancelFlag == 1 || QuitFlag == 1; }

bool CloseConnection() {
  if (CurrentConnection != platform::InvalidSocket) platform::CloseSocket(CurrentConnection);
  CurrentConnection = platform::InvalidSocket;
  stream = StreamState{};
  return true;
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

void BeginReply(const char* host, int port) {
  stream.peer = std::string(host) + ":" + std::to_string(port);
  stream.lastByteAt = Clock::now();
  stream.lastFull = false;
  stream.quickReceives = 0;
}

int ReceiveReply(char* buffer, int capacity) {
  if (stream.lastByteAt == Clock::time_point{}) stream.lastByteAt = Clock::now();
  // A cancel always goes through the wait below, which applies its grace.
  if (stream.lastFull && stream.quickReceives < QuickReceiveRun && !CancelRequested()) {
    const int n = platform::ReceiveWaitingBytes(CurrentConnection, buffer, capacity);
    if (n >= 0) {
      ++stream.quickReceives;
      stream.lastFull = n == capacity;
      stream.lastByteAt = Clock::now();
      return n;
    }
    if (n != platform::NothingWaiting) {
      const int code = platform::LastSocketError();
      AppendFormatted(Error, ">>Error: %i, %s<<\n", code, SocketErrorText(code));
      return -1;
    }
  }
  stream.quickReceives = 0;
  for (;;) {
    const int ready = platform::WaitReadable(CurrentConnection, 1);
    const bool cancelled = CancelRequested();
    const auto now = Clock::now();
    bool abort = ready == 0 && cancelled;
    if (ready > 0 && cancelled) {
      if (stream.cancelSeenAt == Clock::time_point{}) stream.cancelSeenAt = now;
      abort = now - stream.cancelSeenAt >= CancelGrace;
    } else if (!cancelled) {
      stream.cancelSeenAt = {};
    }
    if (abort) {
      Output().AppendOutput(Error, AbortedByUserText);
      return -1;
    }
    if (ready == 0) {
      // A server that accepts and then says nothing would hold a lookup
      // without a window (and so without Escape) for ever.
      const int idle = Settings.IdleTimeout;
      if (idle > 0 && now - stream.lastByteAt >= std::chrono::seconds(idle)) {
        AppendFormatted(Error, ">>Error: no data from %s for %d seconds<<\n", stream.peer.c_str(), idle);
        return -1;
      }
      continue;
    }
    // A wait that fails would fail again at once: end the reply like a
    // receive error instead of spinning.
    const int n = ready < 0 ? -1 : platform::ReceiveBytes(CurrentConnection, buffer, capacity);
    if (n < 0) {
      const int code = platform::LastSocketError();
      AppendFormatted(Error, ">>Error: %i, %s<<\n", code, SocketErrorText(code));
      return -1;
    }
    stream.lastByteAt = now;
    stream.lastFull = n == capacity;
    return n;
  }
}

void BeginProxyHandshake(bool dumps) {
  stream.handshakeEnds = Clock::now() + std::chrono::seconds(ProxyHandshakeSeconds);
  stream.handshakeAborted = false;
  stream.dumps = dumps;
}

namespace {

// A proxy that accepts and then says nothing, or sends its reply a byte at a
// time, would hold the lookup for ever: its bytes are awaited in steps of a
// second that look at the flags and at the handshake's time limit before
// each wait, whether or not bytes are coming. False once given up (reported).
bool WaitForProxyData() {
  while (!stream.handshakeAborted) {
    if (CancelRequested()) {
      Output().AppendOutput(Error, AbortedByUserText);
      stream.handshakeAborted = true;
    } else if (Clock::now() >= stream.handshakeEnds) {
      Output().AppendOutput(Error, ProxyFailureText(ProxyFailure::TimedOut));
      stream.handshakeAborted = true;
    } else if (platform::WaitReadable(CurrentConnection, 1) != 0) {
      return true;  // the receive tells what came
    }
  }
  return false;
}

}  // namespace

bool TunnelAborted() { return stream.handshakeAborted; }

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

const char* ProxyFailureText(ProxyFailure failure) {
  switch (failure) {
    case ProxyFailure::SendFailed: return "Cannot send data to proxy!\n";
    case ProxyFailure::NoReply: return "No reply received from proxy!\n";
    case ProxyFailure::UnexpectedReply: return "Unexpected reply received from proxy!\n";
    case ProxyFailure::IncompleteReply: return "Incomplete reply received from proxy!\n";
    case ProxyFailure::BadResponse: return "Bad response received from proxy server!\n";
    case ProxyFailure::HeaderTooLong: return "Reply header from proxy too long!\n";
    case ProxyFailure::CredentialsTooLong: return "Username/Password too long for the proxy!\n";
    case ProxyFailure::HostNameTooLong: return "Host name too long for the proxy!\n";
    // No line break: the next output continues on this line.
    case ProxyFailure::NoAcceptableMethod: return "Can not negotiate authentication methods with the SOCKS5 proxy?";
    case ProxyFailure::BadCredentials: return "Bad Username/Password!\n";
    case ProxyFailure::TimedOut: return "No complete reply from proxy within 30 seconds!\n";
  }
  return "";
}

bool FailTunnel(ProxyFailure failure) {
  Output().AppendOutput(Error, ProxyFailureText(failure));
  CloseConnection();
  return false;
}

void ProxyDump(const char* header, const char* body) {
  if (!stream.dumps) return;
  OutputSink& out = Output();
  out.AppendOutput(Detail, header);
  out.AppendOutput(Detail, body);
  out.AppendOutput(Detail, "\n===============\n");
}

void ProxyDumpPacket(const char* header, const unsigned char* bytes, int count) {
  if (!stream.dumps) return;
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

bool LookUpAddress(const char* name, std::uint32_t& address) {
  address = platform::ParseIPv4(name);
  if (address != 0 && address != platform::AddressNone) return true;
  platform::HostEntry entry;
  if (!platform::ResolveName(name, entry)) return false;
  address = entry.Addresses.front();
  return true;
}

void ReportResolveFailure(const char* name) { AppendFormatted(Error, "Can not resolve host '%s'\n", name); }

bool LookUpTunnelTarget(const char* host, std::uint32_t& address) {
  if (LookUpAddress(host, address)) return true;
  ReportResolveFailure(host);
  CloseConnection();
  return false;
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
