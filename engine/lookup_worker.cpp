#include "engine/lookup_worker.h"

#include <cstring>
#include <memory>
#include <string>

#include "engine/classify.h"
#include "engine/directory.h"
#include "engine/rdap_exchange.h"
#include "engine/whois_exchange.h"
#include "net/connection.h"
#include "net/output_sink.h"
#include "platform/text.h"
#include "platform/thread.h"
#include "settings/settings.h"

namespace {

std::unique_ptr<platform::Event> WakeEvent;
platform::Thread WorkerThread;

constexpr int TitleCapacity = 128;

bool StopRequested() { return CancelFlag == 1 || QuitFlag == 1; }

unsigned LookupWorker(void* argument) {
  auto* wake = static_cast<platform::Event*>(argument);
  Output().SetStatus(ActivityPart, "Ready...");
  for (;;) {
    wake->Wait();
    if (QuitFlag) return 0;
    RunLookup();
    if (QuitFlag) return 0;
  }
}

// The lookup of a server the user named: its reply, then the server it
// refers to.
int RunDirectLookup(const LookupOptions& options) {
  OutputSink& out = Output();
  char query[QueryBufferSize];
  query[0] = '\0';
  if (out.ReadQueryText(query, QueryBufferSize - 1) <= 0) return 0;
  query[QueryBufferSize - 1] = '\0';
  BlankControlCharacters(query);  // one request line, whatever was typed
  NormalizeQueryText(query);
  if (!query[0]) return 0;
  out.ClearOutput();
  // A single word is a name, sent in its ASCII form like any other; a query
  // with blanks may carry the server's own flags and goes as typed.
  if (!std::strpbrk(query, " \t") && !ConvertQueryToAscii(query, QueryBufferSize)) return 0;
  out.SetInputLocked(true);
  out.ShareRecentQuery(query);
  char referral[HostCapacity] = "";
  int exchanges = 0;
  if (!StopRequested() && RunWhoisExchange(true, options.Server, query, referral)) {
    ++exchanges;
    char unused[HostCapacity] = "";
    if (referral[0] && !options.FirstServerOnly && !StopRequested() &&
        RunWhoisExchange(false, referral, query, unused))
      ++exchanges;
  }
  out.SetInputLocked(false);
  out.SelectQueryText();
  out.SetStatus(ActivityPart, "Ready...");
  return exchanges;
}

}  // namespace

int RunLookup(const LookupOptions& options) {
  if (options.Server) return RunDirectLookup(options);
  OutputSink& out = Output();
  LookupTarget target{};
  out.SetInputLocked(true);
  const char* server = ClassifyQuery(target);
  if (!server && (target.Host[0] || !target.IP[0])) {
    out.SetInputLocked(false);
    return 0;
  }

  // The title is cut to its 128-byte buffer.
  char title[TitleCapacity];
  if (target.Kind == HostName) {
    CopyText(title, TitleCapacity, ("Host: " + std::string(target.Host) + " - merrowgate").c_str());
    out.SetMainTitle(title);
    out.ShareRecentQuery(target.Host);
  } else if (target.Kind == IpAddress) {
    CopyText(title, TitleCapacity, ("IP: " + std::string(target.IP) + " - merrowgate").c_str());
    out.SetMainTitle(title);
    out.ShareRecentQuery(target.IP);
  }

  int exchanges = 0;
  bool asked = false;
  bool domainReferralQueried = false;
  auto exchange = [&](bool follow, const char* whois, const char* query) {
    asked = true;
    const bool sent = RunWhoisExchange(follow, whois, query, target.Host);
    if (sent) ++exchanges;
    return sent;
  };
  // RDAP steps: first when asked to prefer RDAP or for a top-level domain
  // whose registry runs no port-43 server (whois where the bootstrap knows no
  // RDAP service), and instead of a whois server that cannot be reached. A registry's RDAP answer names the registrar's record,
  // which the referral step then asks.
  std::string rdapReferral;
  auto rdap = [&](const std::string& object, std::string* related) {
    asked = true;
    const bool answered = RunRdapQuery(object, related);
    if (answered) ++exchanges;
    return answered;
  };
  // Only a whois server that could not be resolved or connected to directly
  // is replaced by RDAP: through a proxy those failures concern the proxy,
  // and RDAP would go through the same proxy.
  auto unreachable = [] {
    const ConnectOutcome outcome = LastConnectOutcome();
    return !Settings.Enabled && (outcome == ConnectOutcome::ResolveFailed || outcome == ConnectOutcome::ConnectFailed);
  };
  auto rdapRecord = [&](const std::string& url) {
    if (RunRdapExchange(url, nullptr)) ++exchanges;
  };
  int step = DomainRegistryStep;
  while (step != 0 && !StopRequested() && !(options.FirstServerOnly && asked)) {
    switch (step) {
      case DomainRegistryStep: {
        bool answered = false;
        if (target.Host[0]) {
          const TldKind kind = FindTldKind(target.Domain, nullptr);
          const bool rdapFirst = Settings.PreferRDAP || kind == TldKind::None || kind == TldKind::Web;
          if (rdapFirst && RdapServiceKnown(target.Domain)) {
            target.Host[0] = '\0';  // no whois referral from this step
            answered = rdap(target.Domain, &rdapReferral);
          } else {
            answered = exchange(true, server, target.Domain);
            if (!answered && unreachable()) answered = rdap(target.Domain, &rdapReferral);
          }
        }
        step = answered ? DomainReferralStep : AddressRegistryStep;
        break;
      }
      case DomainReferralStep:
        if (!rdapReferral.empty()) {
          domainReferralQueried = true;
          rdapRecord(rdapReferral);
        } else if (target.Host[0]) {
          domainReferralQueried = true;
          if (!exchange(false, target.Host, target.Domain) && unreachable()) {
            std::string related;
            if (rdap(target.Domain, &related) && !related.empty() && !StopRequested()) rdapRecord(related);
          }
        }
        step = AddressRegistryStep;
        break;
      case AddressRegistryStep: {
        bool answered = false;
        if (target.IP[0]) {
          if (Settings.PreferRDAP && RdapServiceKnown(target.IP)) {
            target.Host[0] = '\0';  // the registry the bootstrap names answers itself
            answered = rdap(target.IP, nullptr);
          } else {
            answered = exchange(true, AddressRegistryServer, target.IP);
            if (!answered && unreachable()) answered = rdap(target.IP, nullptr);
          }
        }
        if (answered)
          step = AddressReferralStep;
        else
          step = domainReferralQueried ? AbuseContactStep : 0;
        break;
      }
      case AddressReferralStep:
        if (target.Host[0]) exchange(false, target.Host, target.IP);
        step = domainReferralQueried ? AbuseContactStep : 0;
        break;
      case AbuseContactStep:
        if (Settings.GetAbuseInfo) exchange(false, AbuseContactServer, target.Domain);
        step = 0;
        break;
    }
  }

  out.SetInputLocked(false);
  out.SelectQueryText();
  out.SetStatus(ActivityPart, "Ready...");
  if (domainReferralQueried || target.IP[0]) out.EnableSaveAs();
  return exchanges;
}

int StartLookupWorker() {
  WakeEvent = std::make_unique<platform::Event>();
  WorkerThread.Start(LookupWorker, WakeEvent.get());
  return 0;
}

int StopLookupWorker() {
  if (!WakeEvent) return 1;
  // A lookup blocked in a resolver call cannot see the flags; after
  // a while it is left to the process exit rather than holding it up.
  if (WorkerThread.Join(WorkerStopTimeoutMs)) {
    WakeEvent.reset();
  } else {
    WorkerThread.Abandon();
    (void)WakeEvent.release();  // the event stays: the thread may still wait on it
  }
  return 1;
}

void RequestLookup() {
  CancelFlag = 0;
  WakeEvent->Signal();
}

void RequestAbort() { CancelFlag = 1; }

void RequestQuit() {
  QuitFlag = 1;
  if (WakeEvent) WakeEvent->Signal();
}

void WakeLookupWorker() { WakeEvent->Signal(); }
