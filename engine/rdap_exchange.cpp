// RDAP steps report like whois exchanges: an Info line naming the query, a
// Detail banner naming the URL, the status bar's activity text, then the
// answer. A failure is an Error line; a cancel is "< Aborted by user >".
#include "engine/rdap_exchange.h"

#include "engine/rdap_bootstrap.h"
#include "engine/rdap_json.h"
#include "engine/rdap_refresh.h"
#include "engine/rdap_render.h"
#include "net/output_sink.h"
#include "net/rdap_transport.h"

std::atomic<int> RdapShowJson{0};

bool RunRdapExchange(const std::string& url, std::string* related) {
  OutputSink& out = Output();
  if (related) related->clear();
  out.AppendOutput(Detail, ("\nQuerying " + url + "...\n").c_str());
  out.SetStatus(ActivityPart, "Waiting for reply...");
  RdapFetch fetch;
  FetchRdap(url, fetch);
  if (fetch.Cancelled) {
    out.AppendOutput(Error, "< Aborted by user >\n");
    return false;
  }
  if (fetch.TooLarge) {
    AppendFormatted(Error, "RDAP answer from %s is larger than 4 MiB: refused\n", fetch.Server.c_str());
    return true;
  }
  if (!fetch.Error.empty()) {
    out.AppendOutput(Error, fetch.Error.c_str());
    return false;
  }
  if (RdapShowJson) {
    out.AppendOutput(Plain, fetch.Body.c_str());
    out.AppendOutput(Plain, "\n");
    if (fetch.Status < 200 || fetch.Status >= 300)
      AppendFormatted(Error, "RDAP error %ld from %s\n", fetch.Status, fetch.Server.c_str());
    nlohmann::json answer;
    if (related && fetch.Status >= 200 && fetch.Status < 300 && ParseBoundedJson(fetch.Body, answer) == JsonVerdict::Parsed)
      *related = RelatedRdapLink(answer);
    return true;
  }
  const std::string link = ShowRdapAnswer(fetch.Status, fetch.Server, fetch.Body);
  if (related) *related = link;
  return true;
}

bool RdapServiceKnown(const std::string& object) {
  RefreshRdapBootstrapWhenOld();
  return !RdapQueryUrl(object).empty();
}

bool RunRdapQuery(const std::string& object, std::string* related) {
  if (related) related->clear();
  AppendFormatted(Info, "\nSending request for domain: %s...\n", object.c_str());
  RefreshRdapBootstrapWhenOld();
  const std::string url = RdapQueryUrl(object);
  if (url.empty()) {
    AppendFormatted(Error, "No RDAP service is known for '%s'\n", object.c_str());
    return false;
  }
  return RunRdapExchange(url, related);
}
