#include "engine/lookup.h"

#include <cstring>
#include <memory>
#include <string>
#include <system_error>
#include <thread>

#include "engine/address_form.h"
#include "engine/branch_sink.h"
#include "engine/classify.h"
#include "engine/directory.h"
#include "engine/lookup_context.h"
#include "engine/rdap_exchange.h"
#include "engine/whois_exchange.h"
#include "net/connection.h"
#include "net/output_sink.h"
#include "platform/text.h"

namespace {

constexpr int TitleCapacity = 128;

// The state of one lookup's sequence of steps.
struct Sequence {
  Sequence(LookupContext& context, const LookupOptions& lookupOptions) : ctx(context), options(lookupOptions) {}
  LookupContext& ctx;
  const LookupOptions& options;
  LookupTarget target{};
  const char* server = nullptr;      // the directory's whois server for the domain
  char referral[HostCapacity] = "";  // the whois server the last registry reply names
  std::string rdapLink;              // the registrar's record that a registry's RDAP answer names
  int exchanges = 0;
  bool asked = false;
  bool domainReferralQueried = false;
};

// Only a whois server that could not be resolved or connected to directly is
// replaced by RDAP: through a proxy those failures concern the proxy, and RDAP
// would go through the same proxy.
bool Unreachable(const LookupContext& ctx, ConnectOutcome outcome) {
  return !ctx.Options.Proxy.Enabled &&
         (outcome == ConnectOutcome::ResolveFailed || outcome == ConnectOutcome::ConnectFailed);
}

// A whois exchange; with `referral`, the server its reply names is noted there.
ConnectOutcome AskWhois(Sequence& s, const char* server, const char* query, char* referral,
                        bool* turnedAway = nullptr) {
  s.asked = true;
  char unused[HostCapacity] = "";
  const ConnectOutcome outcome = RunWhoisExchange(s.ctx, referral != nullptr, server, query,
                                                  referral ? referral : unused, turnedAway);
  if (outcome == ConnectOutcome::Sent) ++s.exchanges;
  return outcome;
}

bool AskRdap(Sequence& s, const std::string& object, std::string* link) {
  s.asked = true;
  const bool answered = RunRdapQuery(s.ctx, object, link);
  if (answered) ++s.exchanges;
  return answered;
}

void AskRdapRecord(Sequence& s, const std::string& url) {
  if (RunRdapExchange(s.ctx, url, nullptr)) ++s.exchanges;
}

// The one place where a step chooses between whois and RDAP: RDAP first when
// `rdapFirst` and the bootstrap knows a service for `object` (then whois when
// RDAP gave no answer and the options say so); otherwise the
// whois server, with RDAP standing in for one that cannot be reached or whose
// reply turns the user away (empty, or the service closed or moved to RDAP).
// With `referral`, the referral of the whois reply is noted there (empty when
// RDAP answered); `link` receives the record an RDAP answer links to.
bool AskRegistry(Sequence& s, bool rdapFirst, const char* whois, const char* object, char* referral,
                 std::string* link) {
  if (referral) referral[0] = '\0';
  bool rdapAsked = false;
  if (rdapFirst && RdapServiceKnown(s.ctx, object)) {
    if (AskRdap(s, object, link)) return true;
    if (!s.ctx.Options.WhoisWhenRdapFails || !whois || s.ctx.StopRequested()) return false;
    if (link) link->clear();
    rdapAsked = true;
  }
  bool turnedAway = false;
  const ConnectOutcome outcome = AskWhois(s, whois, object, referral, &turnedAway);
  if (outcome == ConnectOutcome::Sent) {
    if (turnedAway && !rdapAsked && !s.ctx.StopRequested() && RdapServiceKnown(s.ctx, object)) {
      if (referral) referral[0] = '\0';
      AskRdap(s, object, link);
    }
    return true;
  }
  return !rdapAsked && Unreachable(s.ctx, outcome) && AskRdap(s, object, link);
}

int DomainRegistry(Sequence& s) {
  if (!s.target.Host[0]) return AddressRegistryStep;
  const TldKind kind = FindTldKind(s.target.Domain, nullptr);
  const bool rdapFirst = s.ctx.Options.PreferRDAP || kind == TldKind::None || kind == TldKind::Web;
  const bool answered = AskRegistry(s, rdapFirst, s.server, s.target.Domain, s.referral, &s.rdapLink);
  return answered ? DomainReferralStep : AddressRegistryStep;
}

// The registrar's record: the one the registry's RDAP answer links to, or the
// whois server its reply names (with RDAP standing in when it is unreachable).
int DomainReferral(Sequence& s) {
  if (!s.rdapLink.empty()) {
    s.domainReferralQueried = true;
    AskRdapRecord(s, s.rdapLink);
  } else if (s.referral[0]) {
    s.domainReferralQueried = true;
    std::string related;
    if (AskRegistry(s, false, s.referral, s.target.Domain, nullptr, &related) && !related.empty() &&
        !s.ctx.StopRequested())
      AskRdapRecord(s, related);
  }
  return AddressRegistryStep;
}

int AddressRegistry(Sequence& s) {
  const int after = s.domainReferralQueried ? AbuseContactStep : 0;
  if (!s.target.IP[0]) return after;
  // The registry the bootstrap names answers itself: no referral to follow.
  const bool answered = AskRegistry(s, s.ctx.Options.PreferRDAP, AddressRegistryServer, s.target.IP, s.referral,
                                    nullptr);
  return answered ? AddressReferralStep : after;
}

int AddressReferral(Sequence& s) {
  if (s.referral[0]) AskWhois(s, s.referral, s.target.IP, nullptr);
  return s.domainReferralQueried ? AbuseContactStep : 0;
}

int AbuseContact(Sequence& s) {
  if (s.ctx.Options.GetAbuseInfo) AskWhois(s, AbuseContactServer, s.target.Domain, nullptr);
  return 0;
}

int RunStep(Sequence& s, int step) {
  switch (step) {
    case DomainRegistryStep: return DomainRegistry(s);
    case DomainReferralStep: return DomainReferral(s);
    case AddressRegistryStep: return AddressRegistry(s);
    case AddressReferralStep: return AddressReferral(s);
    case AbuseContactStep: return AbuseContact(s);
    default: return 0;
  }
}

void EndLookup(OutputSink& out) {
  out.SetInputLocked(false);
  out.SelectQueryText();
  out.SetStatus(ActivityPart, "Ready...");
}

// The lookup of a server the user named: its reply, then the server it
// refers to.
int RunDirectLookup(LookupContext& ctx, const LookupOptions& options) {
  OutputSink& out = ctx.Out;
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
  char typed[QueryBufferSize];
  CopyText(typed, QueryBufferSize, query);
  if (!std::strpbrk(query, " \t") && !ConvertQueryToAscii(out, query, QueryBufferSize)) return 0;
  out.SetInputLocked(true);
  out.ShareRecentQuery(typed);
  Sequence s(ctx, options);
  if (!ctx.StopRequested() && AskWhois(s, options.Server, query, s.referral) == ConnectOutcome::Sent && s.referral[0] &&
      !options.FirstServerOnly && !ctx.StopRequested())
    AskWhois(s, s.referral, query, nullptr);
  EndLookup(out);
  return s.exchanges;
}

// Steps of a lookup run beside its main steps, with a context of their own
// that shares the lookup's options, stop flags, gate and proxy choice; their
// output waits in `sink` for its turn. Without a thread to be had they run
// in their turn instead, as the steps one by one do.
struct Branch {
  Branch(Sequence& main, void (*steps)(Sequence&))
      : sink(main.ctx.Out, main.ctx.Steps),
        ctx(sink, main.ctx.Stop, main.ctx.Options),
        seq(ctx, main.options),
        body(steps) {
    ctx.Steps = main.ctx.Steps ? &sink : nullptr;
    ctx.Gate = main.ctx.Gate;
    ctx.Net.ChooseProxy = main.ctx.Net.ChooseProxy;
    seq.target = main.target;
    seq.server = main.server;
    try {
      thread = std::thread([this] { body(seq); });
    } catch (const std::system_error&) {
    }
  }
  // The branch's turn: its output so far, then the rest as it comes.
  void Finish(Sequence& main) {
    sink.TakeTurn();
    if (thread.joinable()) thread.join();
    else if (!ctx.StopRequested()) body(seq);
    main.exchanges += seq.exchanges;
    main.asked = main.asked || seq.asked;
    main.ctx.Unanswered += ctx.Unanswered;
  }
  BranchSink sink;
  LookupContext ctx;
  Sequence seq;
  void (*const body)(Sequence&);
  std::thread thread;
};

void AddressSteps(Sequence& s) {
  if (AddressRegistry(s) == AddressReferralStep && !s.ctx.StopRequested()) AddressReferral(s);
}

void AbuseStep(Sequence& s) { AbuseContact(s); }

// The steps, with those that need nothing of the domain steps' answers on
// threads of their own: the address registry and its referral from the start,
// the abuse contact once the registry has named the registrar (the one thing
// it waits for). The output comes in the order of the steps run one by one.
void RunBranched(Sequence& s) {
  std::unique_ptr<Branch> address, abuse;
  if (s.target.IP[0]) address.reset(new Branch(s, AddressSteps));
  const int next = DomainRegistry(s);
  const bool registrarNamed = next == DomainReferralStep && (!s.rdapLink.empty() || s.referral[0]);
  if (registrarNamed && s.ctx.Options.GetAbuseInfo && !s.ctx.StopRequested()) abuse.reset(new Branch(s, AbuseStep));
  if (next == DomainReferralStep && !s.ctx.StopRequested()) DomainReferral(s);
  if (address) address->Finish(s);
  if (abuse) abuse->Finish(s);
}

// The window's title names the query; the title is cut to its buffer.
void ShowQuery(OutputSink& out, const LookupTarget& target) {
  char title[TitleCapacity];
  if (target.Kind == HostName) {
    const char* shown = target.Typed[0] ? target.Typed : target.Host;
    CopyText(title, TitleCapacity, ("Host: " + std::string(shown) + " - merrowgate").c_str());
    out.SetMainTitle(title);
    out.ShareRecentQuery(shown);
  } else if (target.Kind == IpAddress) {
    CopyText(title, TitleCapacity, ("IP: " + std::string(target.IP) + " - merrowgate").c_str());
    out.SetMainTitle(title);
    out.ShareRecentQuery(target.IP);
  }
}

// What the record calls the query: an address, a prefix or an AS number, or
// a name that is the domain itself or a host within it.
const char* RecordKind(const LookupTarget& target) {
  if (target.Kind == IpAddress) {
    switch (ClassifyAddressForm(target.IP)) {
      case AddressForm::IPv4Prefix:
      case AddressForm::IPv6Prefix: return "cidr";
      case AddressForm::AsNumber: return "asn";
      default: return "ip";
    }
  }
  return EqualsIgnoringCase(target.Host, target.Domain) ? "domain" : "host";
}

}  // namespace

int RunLookup(LookupContext& ctx, const LookupOptions& options) {
  if (options.Server) return RunDirectLookup(ctx, options);
  OutputSink& out = ctx.Out;
  Sequence s(ctx, options);
  out.SetInputLocked(true);
  s.server = ClassifyQuery(ctx, s.target);
  if (!s.server && (s.target.Host[0] || !s.target.IP[0])) {
    out.SetInputLocked(false);
    return 0;
  }
  ShowQuery(out, s.target);
  if (ctx.Steps)
    ctx.Steps->Classified(RecordKind(s.target), s.target.Kind == IpAddress && !s.target.Host[0] ? "" : s.target.Domain);
  if (options.ParallelSteps && !options.FirstServerOnly) RunBranched(s);
  else
    for (int step = DomainRegistryStep; step != 0 && !ctx.StopRequested() && !(options.FirstServerOnly && s.asked);)
      step = RunStep(s, step);
  EndLookup(out);
  if (s.domainReferralQueried || s.target.IP[0]) out.EnableSaveAs();
  return s.exchanges;
}
