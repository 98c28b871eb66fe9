// Everything one lookup runs with: its sink, its stop flags, its options (a
// copy taken at its start, the proxy included) and its transport. The engine
// keeps nothing of a lookup anywhere else, so lookups on several threads, each
// with a context of its own, never meet.
#pragma once
#include <cstddef>

#include "net/transport.h"
#include "settings/settings.h"

// Told of every exchange of a lookup, for a front end that records them (the
// console's JSON record). The reply is the UTF-8 text shown, or an RDAP body.
class StepObserver {
 public:
  virtual ~StepObserver() = default;
  virtual void StepStarted(const char* server, const char* protocol, const char* request) = 0;
  virtual void StepData(const char* text, std::size_t length) = 0;
  virtual void StepEnded(bool ok, const char* error) = 0;
  // What the query was taken for: `kind` is "domain", "host", "ip", "cidr" or
  // "asn"; `domain` the domain asked about, in its ASCII form (may be empty).
  virtual void Classified(const char* kind, const char* domain) = 0;
};

class ServerGate;

class LookupContext {
 public:
  // `connection`: where the socket of the exchange in progress is kept, for
  // a front end that holds it itself; by default the transport's own.
  LookupContext(OutputSink& out, StopFlags stop, const LookupSettings& options, platform::Socket* connection = nullptr)
      : Out(out), Stop(stop), Options(options), Net(out, stop, options.Proxy, options.IdleTimeout, connection) {}
  LookupContext(const LookupContext&) = delete;
  LookupContext& operator=(const LookupContext&) = delete;

  bool StopRequested() const { return Stop.Requested(); }

  OutputSink& Out;
  StopFlags Stop;
  const LookupSettings Options;
  Transport Net;
  StepObserver* Steps = nullptr;  // none by default
  // The limits on connections per server that a batch of lookups shares;
  // with none, every server is asked at once and a rate-limit notice is
  // shown like any reply.
  ServerGate* Gate = nullptr;
  // Exchanges given up on because the server kept sending rate-limit notices.
  int Unanswered = 0;
};
