// RDAP steps report like whois exchanges: an Info line naming the query, a
// Detail banner naming the URL, the status bar's activity text, then the
// answer. A failure is an Error line; a cancel is "< Aborted by user >".
#include "engine/rdap_exchange.h"

#include "engine/lookup_context.h"
#include "engine/rdap_bootstrap.h"
#include "engine/rdap_json.h"
#include "engine/rdap_refresh.h"
#include "engine/rdap_render.h"
#include "net/output_sink.h"
#include "net/rdap_transport.h"
#include "net/texts.h"

bool RunRdapExchange(LookupContext& ctx, const std::string& url, std::string* related) {
  OutputSink& out = ctx.Out;
  if (related) related->clear();
  out.AppendOutput(Detail, ("\nQuerying " + url + "...\n").c_str());
  out.SetStatus(ActivityPart, "Waiting for reply...");
  if (ctx.Steps) ctx.Steps->StepStarted(UrlHost(url).c_str(), "rdap", url.c_str());
  RdapFetch fetch;
  FetchRdap(ctx.Net.ProxyFor(UrlHost(url).c_str(), true), ctx.Stop, url, fetch);
  if (ctx.Steps) {
    ctx.Steps->StepData(fetch.Body.data(), fetch.Body.size());
    const bool ok = !fetch.Cancelled && fetch.Error.empty() && !fetch.TooLarge;
    ctx.Steps->StepEnded(ok, ok ? nullptr : fetch.Cancelled ? "cancelled" : fetch.Error.c_str());
  }
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
  if (ctx.Options.RdapShowJson) {
    out.AppendOutput(Plain, fetch.Body.c_str());
    out.AppendOutput(Plain, "\n");
    if (fetch.Status < 200 || fetch.Status >= 300)
      AppendFormatted(out, Error, "RDAP error %ld from %s\n", fetch.Status, fetch.Server.c_str());
    nlohmann::json answer;
    if (related && fetch.Status >= 200 && fetch.Status < 300 && ParseBoundedJson(fetch.Body, answer) == JsonVerdict::Parsed)
      *related = RelatedRdapLink(answer);
    return true;
  }
  const std::string link = ShowRdapAnswer(out, fetch.Status, fetch.Server, fetch.Body);
  if (related) *related = link;
  return true;
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
