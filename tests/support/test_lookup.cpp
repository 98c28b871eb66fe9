#include "tests/support/test_lookup.h"

#include <memory>

#include "engine/mail_links.h"
#include "engine/whois_exchange.h"
#include "settings/settings.h"

namespace {

std::unique_ptr<Transport> transport;
ConnectOutcome lastOutcome = ConnectOutcome::Sent;

}  // namespace

void UseTestSink(OutputSink* sink) {
  transport.reset();
  SetOutputSink(sink);
}

StopFlags TestStopFlags() { return StopFlags{&CancelFlag, &QuitFlag}; }

Transport& TestTransport() {
  if (!transport)
    transport = std::make_unique<Transport>(Output(), TestStopFlags(), ProxyOptions{}, 0, &CurrentConnection);
  transport->Proxy = SnapshotProxyOptions();
  transport->IdleTimeout = Settings.IdleTimeout;
  return *transport;
}

bool ConnectAndSend(const char* server, const char* query) {
  lastOutcome = ConnectAndSend(TestTransport(), server, query);
  return lastOutcome == ConnectOutcome::Sent;
}

ConnectOutcome LastConnectOutcome() { return lastOutcome; }
int ReceiveReply(char* buffer, int capacity) { return ReceiveReply(TestTransport(), buffer, capacity); }
bool CloseConnection() { return CloseConnection(TestTransport()); }

void BeginProxyHandshake(bool dumps) {
  Transport& t = TestTransport();
  t.Proxy.Debug = dumps;
  BeginProxyHandshake(t);
}

void ProxyDumpPacket(const char* header, const unsigned char* bytes, int count) {
  ProxyDumpPacket(*transport, header, bytes, count);
}

bool RunWhoisExchange(bool followReferral, const char* server, const char* query, char* referral) {
  LookupContext context(Output(), TestStopFlags(), SnapshotSettings(), &CurrentConnection);
  return RunWhoisExchange(context, followReferral, server, query, referral) == ConnectOutcome::Sent;
}

void EmitReplyChunk(const char* text) { EmitReplyChunk(Output(), text); }

const char* ClassifyQuery(LookupTarget& target) {
  LookupContext context(Output(), TestStopFlags(), SnapshotSettings(), &CurrentConnection);
  return ClassifyQuery(context, target);
}

int RunLookup(const LookupOptions& options) {
  LookupContext context(Output(), TestStopFlags(), SnapshotSettings(), &CurrentConnection);
  return RunLookup(context, options);
}

void FetchRdap(const std::string& url, RdapFetch& result) {
  FetchRdap(SnapshotProxyOptions(), TestStopFlags(), url, result);
}
