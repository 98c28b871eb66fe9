// The tests run as the Windows program does: its stop flags, socket slot and
// sink (ui/lookup_thread.h), and the transport and engine calls made with a
// context built from `Settings` at each call, as its worker builds one per
// lookup.
#pragma once
#include <atomic>
#include <string>

#include "engine/classify.h"
#include "engine/lookup.h"
#include "engine/lookup_context.h"
#include "net/connection.h"
#include "net/rdap_transport.h"

#include "ui/lookup_thread.h"

// Installs the sink of a SinkScope (null: none) and starts a fresh transport.
void UseTestSink(OutputSink* sink);
// The stop flags above, as a context takes them.
StopFlags TestStopFlags();
// The transport of the tests' exchanges: the current sink, CurrentConnection,
// and the proxy and idle limit of `Settings` as they are at each call below.
Transport& TestTransport();

bool ConnectAndSend(const char* server, const char* query);
// How the last ConnectAndSend above ended.
ConnectOutcome LastConnectOutcome();
int ReceiveReply(char* buffer, int capacity);
bool CloseConnection();
void BeginProxyHandshake(bool dumps);
void ProxyDumpPacket(const char* header, const unsigned char* bytes, int count);

bool RunWhoisExchange(bool followReferral, const char* server, const char* query, char* referral);
void EmitReplyChunk(const char* text);
const char* ClassifyQuery(LookupTarget& target);
int RunLookup(const LookupOptions& options = {});
void FetchRdap(const std::string& url, RdapFetch& result);
