// One whole lookup: the query classified, then the registry, referral,
// address and abuse-contact steps, each by whois or RDAP.
#pragma once

class LookupContext;

enum LookupStep : int {
  DomainRegistryStep = 1,
  DomainReferralStep = 2,
  AddressRegistryStep = 3,
  AddressReferralStep = 4,
  AbuseContactStep = 5,
};

// What a console user may change about the sequence; the window uses the
// defaults.
struct LookupOptions {
  // A server text asked directly about the query as typed (cleaned up, not
  // resolved): no directory step, no address steps; its referral is followed
  // as in the first domain step.
  const char* Server = nullptr;
  // Only the first server is asked: no referral and no further step.
  bool FirstServerOnly = false;
  // The address registry's steps and the abuse contact run beside the domain
  // steps, on threads of their own; the output stays in the order of the
  // steps, each one's output following the one before.
  bool ParallelSteps = false;
};

// One whole lookup of the sink's query text, on the calling thread, with
// everything it needs from `ctx`. Returns the number of exchanges that
// connected and sent their request (or RDAP answers that came).
int RunLookup(LookupContext& ctx, const LookupOptions& options = {});
