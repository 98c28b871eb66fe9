// The transport of one lookup: where its messages go, the flags that stop
// it, the proxy and the idle limit it runs with (copied at its start), and
// the connection of its exchange in progress with that exchange's clocks.
// One per lookup, used by the thread that runs it; several lookups each have
// their own and share nothing here.
#pragma once
#include <atomic>
#include <chrono>
#include <functional>
#include <string>

#include "net/output_sink.h"
#include "net/proxy_options.h"
#include "platform/sockets.h"

// The two flags a front end raises to stop a lookup: cancel (Escape, the
// first Ctrl-C) and quit (the program ends). Either makes the transport give up.
struct StopFlags {
  const std::atomic<int>* Cancel;
  const std::atomic<int>* Quit;
  bool Requested() const { return *Cancel == 1 || *Quit == 1; }
};

// The clocks and modes of the exchange in progress, for its waits and dumps.
struct StreamState {
  using Clock = std::chrono::steady_clock;
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
  // waiting already: they are taken without the wait, up to a run of them,
  // after which the wait runs once again.
  bool lastFull = false;
  int quickReceives = 0;
};

// Where no proxy is set for the whole lookup, the front end may still choose
// one for each host (the console from ALL_PROXY, HTTPS_PROXY and NO_PROXY):
// true with `proxy` filled when the connection to `host` goes through one.
using ProxyChooser = std::function<bool(const char* host, bool rdap, ProxyOptions& proxy)>;

class Transport {
 public:
  // `connection`: where the socket of the exchange in progress is kept, for a
  // front end that holds it itself (the window's CurrentConnection); by
  // default the transport keeps its own.
  Transport(OutputSink& out, StopFlags stop, const ProxyOptions& proxy, int idleTimeout,
            platform::Socket* connection = nullptr)
      : Out(out), Stop(stop), Proxy(proxy), IdleTimeout(idleTimeout), Connection(connection ? *connection : own_) {}
  Transport(const Transport&) = delete;
  Transport& operator=(const Transport&) = delete;
  ~Transport() {
    if (Connection != platform::InvalidSocket) platform::CloseSocket(Connection);
    Connection = platform::InvalidSocket;
  }

  bool CancelRequested() const { return Stop.Requested(); }
  // The proxy of a connection to `host`: the lookup's, else the chooser's.
  ProxyOptions ProxyFor(const char* host, bool rdap) const {
    ProxyOptions chosen = Proxy;
    if (!chosen.Enabled && ChooseProxy && !ChooseProxy(host, rdap, chosen)) chosen = Proxy;
    return chosen;
  }

 private:
  platform::Socket own_ = platform::InvalidSocket;

 public:
  OutputSink& Out;
  StopFlags Stop;
  ProxyOptions Proxy;
  int IdleTimeout;               // seconds without a byte before a reply wait gives up; 0 never
  ProxyChooser ChooseProxy;      // none by default
  platform::Socket& Connection;  // the exchange's socket, or InvalidSocket
  StreamState Stream;
};
