// RDAP steps report like whois exchanges: an Info line naming the query, a
// Detail banner naming the URL, the status bar's activity text, then the
// answer. A failure is an Error line; a cancel is "< Aborted by user >".
#include "engine/rdap_exchange.h"

#include "engine/lookup_context.h"
#include "engine/rdap_bootstrap.h"
#include "engine/rdap_refresh.h"
#include "engine/rdap_render.h"
#include "engine/server_gate.h"
#include "net/output_sink.h"
#include "net/rdap_transport.h"
#include "net/texts.h"

namespace {

// The answer is shown as readable lines, or the failure as an Error line.
// Returns the related record's link through `related`.
bool ShowAnswer(LookupContext& ctx, const RdapFetch& fetch, std::string* related) {
  OutputSink& out = ctx.Out;
  if (fetch.Cancelled) {
    out.AppendOutput(Error, NetTextOf(NetText::AbortedByUser));
    return false;
  }
  if (fetch.TooLarge) {
    AppendFormatted(out, Error, "RDAP answer from %s is larger than 4 MiB: refused\n", fetch.Server.c_str());
    return true;
  }
  if (!fetch.Error.empty()) {
    out.AppendOutput(Error, fetch.Error.c_str());
    return false;
  }
  const std::string link = ShowRdapAnswer(out, fetch.Status, fetch.Server, fetch.Body);
  if (related) *related = link;
  return true;
}

}  // namespace

bool RunRdapExchange(LookupContext& ctx, const std::string& url, std::string* related) {
  OutputSink& out = ctx.Out;
  if (related) related->clear();
  const std::string host = UrlHost(url);
  out.AppendOutput(Detail, ("\nQuerying " + url + "...\n").c_str());
  // With a gate (a console batch), a 429 is no answer: the service is paused,
  // as long as its Retry-After says if it says, and asked again.
  for (int attempt = 0;; ++attempt) {
    GatePass pass(ctx.Gate, host, ctx.Stop, attempt > 0);
    if (!pass.Entered()) {
      out.AppendOutput(Error, NetTextOf(NetText::AbortedByUser));
      return false;
    }
    out.SetStatus(ActivityPart, "Waiting for reply...");
    if (ctx.Steps) ctx.Steps->StepStarted(host.c_str(), "rdap", url.c_str());
    RdapFetch fetch;
    FetchRdap(ctx.Net.ProxyFor(host.c_str(), true), ctx.Stop, url, fetch);
    const bool limited = ctx.Gate && fetch.Status == 429;
    if (ctx.Steps) ctx.Steps->StepData(fetch.Body.data(), fetch.Body.size());
    // The step ends after the answer is shown, so that its error lines are
    // the step's.
    const auto endStep = [&] {
      if (!ctx.Steps) return;
      const bool ok = !fetch.Cancelled && fetch.Error.empty() && !fetch.TooLarge && !limited;
      ctx.Steps->StepEnded(ok, limited           ? "HTTP 429 Too Many Requests"
                               : ok              ? nullptr
                               : fetch.Cancelled ? "cancelled"
                                                 : fetch.Error.c_str());
    };
    if (!limited) {
      if (ctx.Gate && fetch.Status != 0) ctx.Gate->Answered(host);
      const bool answered = ShowAnswer(ctx, fetch, related);
      endStep();
      return answered;
    }
    endStep();
    if (!PauseAfterNotice(ctx, host, attempt, fetch.RetryAfter)) return false;
  }
}

bool RdapServiceKnown(LookupContext& ctx, const std::string& object) {
  RefreshRdapBootstrapWhenOld(ctx.Options.Proxy, ctx.Stop);
  return !RdapQueryUrl(object).empty();
}

bool RunRdapQuery(LookupContext& ctx, const std::string& object, std::string* related) {
  if (related) related->clear();
  AppendFormatted(ctx.Out, Info, "\nSending request for domain: %s...\n", object.c_str());
  RefreshRdapBootstrapWhenOld(ctx.Options.Proxy, ctx.Stop);
  const std::string url = RdapQueryUrl(object);
  if (url.empty()) {
    AppendFormatted(ctx.Out, Error, "No RDAP service is known for '%s'\n", object.c_str());
    return false;
  }
  return RunRdapExchange(ctx, url, related);
}
