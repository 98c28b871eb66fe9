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
#include "engine/refusal_notice.h"
#include "engine/reply_decoder.h"
#include "engine/server_gate.h"
#include "net/connection.h"
#include "net/output_sink.h"
#include "net/texts.h"
#include "platform/text.h"

// The com and net registry wants "domain = name" (a bare name also matches
// host records there); the jp registry answers in English only with "/e".
// Both servers are recognised by their exact directory text.
void BuildWhoisRequest(const char* server, const char* query, char* buffer, int size) {
  if (std::strcmp(server, ComNetServer) == 0) std::snprintf(buffer, static_cast<size_t>(size), "domain = %s", query);
  // The address registry has forms of its own for IPv6, prefixes and AS numbers.
  else if (std::strcmp(server, AddressRegistryServer) != 0 ||
           !BuildAddressRegistryRequest(query, buffer, static_cast<size_t>(size)))
    std::snprintf(buffer, static_cast<size_t>(size), "%s", query);
  if (std::strcmp(server, JpServer) == 0) {
    const size_t n = std::strlen(buffer);
    std::snprintf(buffer + n, static_cast<size_t>(size) - n, "/e");
  }
}

namespace {

// One connection to `server`: the request sent, the reply shown as it comes.
// `head` receives the start of the reply, for the notices read from it.
ConnectOutcome AskOnce(LookupContext& ctx, bool followReferral, const char* server, char* buffer, char* referral,
                       std::string& head, bool& complete) {
  OutputSink& out = ctx.Out;
  if (followReferral) referral[0] = '\0';
  const ConnectOutcome outcome = ConnectAndSend(ctx.Net, server, buffer);
  if (outcome != ConnectOutcome::Sent) {
    CloseConnection(ctx.Net);
    return outcome;
  }
  out.SetStatus(ActivityPart, "Waiting for reply...");

  // Every reply is turned into UTF-8 text once, here: the sink, the e-mail
  // links and the referral scan all see that text.
  ReplyDecoder decoder(server);
  ReferralScan referrals(server, referral);
  const bool pieces = out.ShowsReplyPieces();
  std::string text;
  constexpr size_t HeadLimit = 8192;
  head.clear();
  auto show = [&] {
    if (text.empty()) return;
    if (head.size() < HeadLimit) head.append(text, 0, HeadLimit - head.size());
    if (pieces) EmitReplyChunk(out, text.c_str());
    if (ctx.Steps) ctx.Steps->StepData(text.data(), text.size());
    if (followReferral) referrals.Scan(text.data(), static_cast<int>(text.size()));
  };
  int n;
  while ((n = ReceiveReply(ctx.Net, buffer, ReceiveChunkSize)) > 0) {
    text.clear();
    decoder.Decode(buffer, static_cast<size_t>(n), text);
    show();
    out.ReplyChunk(buffer, n);  // the bytes as they came, for a front end that passes them on
  }
  text.clear();
  decoder.Finish(text);
  show();
  CloseConnection(ctx.Net);
  complete = n == 0;
  return ConnectOutcome::Sent;
}

}  // namespace

ConnectOutcome RunWhoisExchange(LookupContext& ctx, bool followReferral, const char* server, const char* query,
                                char* referral, bool* turnedAway) {
  OutputSink& out = ctx.Out;
  AppendFormatted(out, Info, "\nSending request for domain: %s...\n", query);

  char request[ExchangeBufferSize], buffer[ExchangeBufferSize];
  BuildWhoisRequest(server, query, request, ExchangeBufferSize);
  std::string head;
  // With a gate (a console batch), a rate-limit notice is no answer: the
  // server is paused and asked again.
  for (int attempt = 0;; ++attempt) {
    GatePass pass(ctx.Gate, server, ctx.Stop, attempt > 0);
    if (!pass.Entered()) {
      out.AppendOutput(Error, NetTextOf(NetText::AbortedByUser));
      return ConnectOutcome::Cancelled;
    }
    if (ctx.Steps) ctx.Steps->StepStarted(server, "whois", request);
    std::memcpy(buffer, request, sizeof request);
    bool complete = false;
    const ConnectOutcome outcome = AskOnce(ctx, followReferral, server, buffer, referral, head, complete);
    const bool limited = outcome == ConnectOutcome::Sent && ctx.Gate && complete &&
                         IsRateLimitNotice(head.data(), head.size());
    if (ctx.Steps)
      ctx.Steps->StepEnded(outcome == ConnectOutcome::Sent && complete && !limited,
                           limited ? "rate-limit notice" : nullptr);
    if (!limited) {
      if (ctx.Gate && outcome == ConnectOutcome::Sent) ctx.Gate->Answered(server);
      if (turnedAway) *turnedAway = outcome == ConnectOutcome::Sent && TurnsAway(head.data(), head.size());
      return outcome;
    }
    if (followReferral) referral[0] = '\0';
    if (!PauseAfterNotice(ctx, server, attempt, -1)) {
      if (turnedAway) *turnedAway = false;
      return outcome;
    }
  }
}
