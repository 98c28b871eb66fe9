#include "engine/whois_exchange.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "engine/address_form.h"
#include "engine/directory.h"
#include "engine/lookup_context.h"
#include "engine/mail_links.h"
#include "engine/referral_scan.h"
#include "net/connection.h"
#include "net/output_sink.h"
#include "platform/text.h"

// The com and net registry wants "domain = name" (a bare name also matches
// host records there); the jp registry answers in English only with "/e".
// Both servers are recognised by their exact directory text.
void BuildWhoisRequest(const char* server, const char* query, char* buffer, int size) {
  if (std::strcmp(server, ComNetServer) == 0)
    std::snprintf(buffer, static_cast<size_t>(size), "domain = %s", query);
  // The address registry has forms of its own for IPv6, prefixes and AS numbers.
  else if (std::strcmp(server, AddressRegistryServer) != 0 ||
           !BuildAddressRegistryRequest(query, buffer, static_cast<size_t>(size)))
    std::snprintf(buffer, static_cast<size_t>(size), "%s", query);
  if (std::strcmp(server, JpServer) == 0) {
    const size_t n = std::strlen(buffer);
    std::snprintf(buffer + n, static_cast<size_t>(size) - n, "/e");
  }
}

ConnectOutcome RunWhoisExchange(LookupContext& ctx, bool followReferral, const char* server, const char* query,
                                char* referral) {
  OutputSink& out = ctx.Out;
  AppendFormatted(out, Info, "\nSending request for domain: %s...\n", query);

  char buffer[ExchangeBufferSize];
  BuildWhoisRequest(server, query, buffer, ExchangeBufferSize);

  if (followReferral) referral[0] = '\0';
  if (ctx.Steps) ctx.Steps->StepStarted(server, "whois", buffer);
  const ConnectOutcome outcome = ConnectAndSend(ctx.Net, server, buffer);
  if (outcome != ConnectOutcome::Sent) {
    CloseConnection(ctx.Net);
    if (ctx.Steps) ctx.Steps->StepEnded(false, nullptr);
    return outcome;
  }
  out.SetStatus(ActivityPart, "Waiting for reply...");

  ReferralScan referrals(server, referral);
  const bool pieces = out.ShowsReplyPieces();
  int n;
  while ((n = ReceiveReply(ctx.Net, buffer, ReceiveChunkSize)) > 0) {
    buffer[n] = '\0';
    if (pieces) EmitReplyChunk(out, buffer);
    out.ReplyChunk(buffer, n);
    if (ctx.Steps) ctx.Steps->StepData(buffer, static_cast<size_t>(n));
    if (followReferral) referrals.Scan(buffer, n);
  }
  CloseConnection(ctx.Net);
  if (ctx.Steps) ctx.Steps->StepEnded(n == 0, nullptr);
  return ConnectOutcome::Sent;
}
