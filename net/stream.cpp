#include "net/stream.h"

#include <chrono>
#include <cstdio>
#include <string>

#include "net/output_sink.h"
#include "net/server_text.h"

namespace {

using Clock = StreamState::Clock;

constexpr auto CancelGrace = std::chrono::seconds(1);
constexpr int QuickReceiveRun = 64;

}  // namespace

bool CloseConnection(Transport& t) {
  if (t.Connection != platform::InvalidSocket) platform::CloseSocket(t.Connection);
  t.Connection = platform::InvalidSocket;
  t.Stream = StreamState{};
  return true;
}

int SendToConnection(Transport& t, const void* data, int length) {
  const char* p = static_cast<const char*>(data);
  int sent = 0;
  while (sent < length) {
    const int n = platform::SendBytes(t.Connection, p + sent, length - sent);
    if (n < 0) return -1;
    if (n == 0) break;
    sent += n;
  }
  return sent;
}

void BeginReply(Transport& t, const char* host, int port) {
  StreamState& stream = t.Stream;
  stream.peer = FormatHostPort(host, port);
  stream.lastByteAt = Clock::now();
  stream.lastFull = false;
  stream.quickReceives = 0;
}

int ReceiveReply(Transport& t, char* buffer, int capacity) {
  StreamState& stream = t.Stream;
  if (stream.lastByteAt == Clock::time_point{}) stream.lastByteAt = Clock::now();
  // A cancel always goes through the wait below, which applies its grace.
  if (stream.lastFull && stream.quickReceives < QuickReceiveRun && !t.CancelRequested()) {
    const int n = platform::ReceiveWaitingBytes(t.Connection, buffer, capacity);
    if (n >= 0) {
      ++stream.quickReceives;
      stream.lastFull = n == capacity;
      stream.lastByteAt = Clock::now();
      return n;
    }
    if (n != platform::NothingWaiting) {
      const int code = platform::LastSocketError();
      AppendFormatted(t.Out, Error, ">>Error: %i, %s<<\n", code, SocketErrorText(code));
      return -1;
    }
  }
  stream.quickReceives = 0;
  for (;;) {
    const int ready = platform::WaitReadable(t.Connection, 1);
    const bool cancelled = t.CancelRequested();
    const auto now = Clock::now();
    bool abort = ready == 0 && cancelled;
    if (ready > 0 && cancelled) {
      if (stream.cancelSeenAt == Clock::time_point{}) stream.cancelSeenAt = now;
      abort = now - stream.cancelSeenAt >= CancelGrace;
    } else if (!cancelled) {
      stream.cancelSeenAt = {};
    }
    if (abort) {
      t.Out.AppendOutput(Error, NetTextOf(NetText::AbortedByUser));
      return -1;
    }
    if (ready == 0) {
      // A server that accepts and then says nothing would hold a lookup
      // without a window (and so without Escape) for ever.
      const int idle = t.IdleTimeout;
      if (idle > 0 && now - stream.lastByteAt >= std::chrono::seconds(idle)) {
        AppendFormatted(t.Out, Error, ">>Error: no data from %s for %d seconds<<\n", stream.peer.c_str(), idle);
        return -1;
      }
      continue;
    }
    // A wait that fails would fail again at once: end the reply like a
    // receive error instead of spinning.
    const int n = ready < 0 ? -1 : platform::ReceiveBytes(t.Connection, buffer, capacity);
    if (n < 0) {
      const int code = platform::LastSocketError();
      AppendFormatted(t.Out, Error, ">>Error: %i, %s<<\n", code, SocketErrorText(code));
      return -1;
    }
    stream.lastByteAt = now;
    stream.lastFull = n == capacity;
    return n;
  }
}

void BeginProxyHandshake(Transport& t) {
  StreamState& stream = t.Stream;
  stream.handshakeEnds = Clock::now() + std::chrono::seconds(ProxyHandshakeSeconds);
  stream.handshakeAborted = false;
  stream.dumps = t.Proxy.Debug;
}

namespace {

// A proxy that accepts and then says nothing, or sends its reply a byte at a
// time, would hold the lookup for ever: its bytes are awaited in steps of a
// second that look at the flags and at the handshake's time limit before
// each wait, whether or not bytes are coming. False once given up (reported).
bool WaitForProxyData(Transport& t) {
  StreamState& stream = t.Stream;
  while (!stream.handshakeAborted) {
    if (t.CancelRequested()) {
      t.Out.AppendOutput(Error, NetTextOf(NetText::AbortedByUser));
      stream.handshakeAborted = true;
    } else if (Clock::now() >= stream.handshakeEnds) {
      t.Out.AppendOutput(Error, ProxyFailureText(ProxyFailure::TimedOut));
      stream.handshakeAborted = true;
    } else if (platform::WaitReadable(t.Connection, 1) != 0) {
      return true;  // the receive tells what came
    }
  }
  return false;
}

}  // namespace

bool TunnelAborted(const Transport& t) { return t.Stream.handshakeAborted; }

int ReceiveFromConnection(Transport& t, void* buffer, int capacity) {
  if (!WaitForProxyData(t)) return -1;
  return platform::ReceiveBytes(t.Connection, buffer, capacity);
}

int ReceiveFullFromConnection(Transport& t, void* buffer, int count) {
  char* p = static_cast<char*>(buffer);
  int have = 0;
  while (have < count && WaitForProxyData(t)) {
    const int n = platform::ReceiveBytes(t.Connection, p + have, count - have);
    if (n <= 0) break;
    have += n;
  }
  return have;
}

bool FailTunnel(Transport& t, ProxyFailure failure) {
  t.Out.AppendOutput(Error, ProxyFailureText(failure));
  CloseConnection(t);
  return false;
}

void ProxyDump(Transport& t, const char* header, const char* body) {
  if (!t.Stream.dumps) return;
  OutputSink& out = t.Out;
  out.AppendOutput(Detail, header);
  out.AppendOutput(Detail, body);
  out.AppendOutput(Detail, "\n===============\n");
}

void ProxyDumpPacket(Transport& t, const char* header, const unsigned char* bytes, int count) {
  if (!t.Stream.dumps) return;
  std::string listing;
  char line[48];
  for (int i = 0; i < count; ++i) {
    // Byte 31 is shown with its character; only 0 to 30 are not.
    if (bytes[i] >= 31)
      std::snprintf(line, sizeof line, "packet[%i] -> %u '%c'\n", i, bytes[i], static_cast<char>(bytes[i]));
    else std::snprintf(line, sizeof line, "packet[%i] -> %u\n", i, bytes[i]);
    listing += line;
  }
  ProxyDump(t, header, listing.c_str());
}

void ReportResolveFailure(Transport& t, const char* name) {
  t.Out.AppendOutput(Error, ResolveFailureText(name).c_str());
}
