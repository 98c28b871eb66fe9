// The lookup worker: the one thread that runs lookups, woken by WakeEvent.
#pragma once

enum LookupStep : int {
  DomainRegistryStep = 1,
  DomainReferralStep = 2,
  AddressRegistryStep = 3,
  AddressReferralStep = 4,
  AbuseContactStep = 5,
};

// How long shutdown waits for a lookup that is blocked in a call the flags
// cannot interrupt (name lookup, connect) before it leaves the thread behind.
constexpr unsigned WorkerStopTimeoutMs = 3000;

int StartLookupWorker();
int StopLookupWorker();

// Requests from the user interface.
void RequestLookup();  // CancelFlag := 0, then wake the worker
void RequestAbort();   // CancelFlag := 1
void RequestQuit();    // QuitFlag := 1, then wake the worker
void WakeLookupWorker();  // wake without touching CancelFlag (the command line)

// What a console user may change about the sequence; the window uses the
// defaults.
struct LookupOptions {
  // A server text asked directly about the query as typed (cleaned up, not
  // resolved): no directory step, no address steps; its referral is followed
  // as in the first domain step.
  const char* Server = nullptr;
  // Only the first server is asked: no referral and no further step.
  bool FirstServerOnly = false;
};

// One whole lookup of the query box's text, on the calling thread. Returns the
// number of exchanges that connected and sent their request.
int RunLookup(const LookupOptions& options = {});
