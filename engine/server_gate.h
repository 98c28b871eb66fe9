// Politeness towards the servers of a batch of lookups: at most so many
// connections to one server at a time, and a pause for a server that asked
// for one (a rate-limit notice, an HTTP 429). Shared by the lookups of one
// process; each lookup's context points to it.
#pragma once
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>

#include "net/transport.h"

// A server is paused 2 s after its first notice, twice as long after each
// further one in a row, never longer than this; a Retry-After is taken as it
// comes up to the same bound.
constexpr int LongestPauseSeconds = 60;
constexpr int FirstPauseSeconds = 2;
// An exchange answered by a notice is asked again this often, then given up.
constexpr int RateLimitRetries = 3;

// After a notice a server is also paced: its exchanges start no closer
// together than this share of a second for each answer it gave in the second
// before (a little more than a second per answer, so a limit of so many a
// second is kept at its boundary too).
constexpr int PacedMillisecondsPerAnswer = 1100;

// The pause after `notices` notices in a row before this one, or the
// Retry-After the server gave (0 or more), within the bounds above.
int PauseSeconds(int notices, long retryAfter);

class ServerGate {
 public:
  explicit ServerGate(int perServer) : perServer_(perServer < 1 ? 1 : perServer) {}
  // Told when an Enter starts to wait (true) and when it is done waiting
  // (false), for a batch that gives the waiting lookup's turn to another.
  void SetWaitHook(std::function<void(bool waiting)> hook) { waitHook_ = std::move(hook); }
  ServerGate(const ServerGate&) = delete;
  ServerGate& operator=(const ServerGate&) = delete;

  // Waits until `server` is not paused and has a free connection, and takes
  // it; false (nothing taken) when `stop` was raised meanwhile. An exchange
  // asked again after a notice (`retry`) goes before those not yet asked, so
  // that none of them runs out of retries while newcomers take the turns.
  bool Enter(const std::string& server, StopFlags stop, bool retry = false);
  void Leave(const std::string& server);
  // The server answered with a notice: pauses it for `retryAfter` seconds
  // when that is 0 or more, else for the doubling pause. Returns the pause.
  int Pause(const std::string& server, long retryAfter);
  // The server gave an answer: its next notice starts the doubling afresh.
  void Answered(const std::string& server);
  // The most connections `server` has had open at once (for tests).
  int PeakConnections(const std::string& server);

 private:
  using Clock = std::chrono::steady_clock;
  struct State {
    int open = 0, peak = 0, notices = 0, retriesWaiting = 0;
    Clock::time_point pausedUntil{}, lastStart{};
    Clock::duration spacing{};              // zero until a notice came
    std::deque<Clock::time_point> answers;  // of the last second
  };
  static std::string Key(const std::string& server);
  // When the pause and the pacing let `s` be asked next.
  static Clock::time_point ReadyAt(const State& s) {
    return s.pausedUntil > s.lastStart + s.spacing ? s.pausedUntil : s.lastStart + s.spacing;
  }
  // Forgets the answers older than a second (and any beyond the last 64).
  static void DropOldAnswers(State& s, Clock::time_point now);
  bool Free(const State& s, Clock::time_point now, bool retry) const;

  const int perServer_;
  std::mutex lock_;
  std::condition_variable changed_;
  std::map<std::string, State> servers_;
  std::function<void(bool)> waitHook_;
};

class LookupContext;

// After an exchange of `ctx` that `server` answered with a rate-limit notice
// (its `attempt`th, from 0): true, with an Info line, once the server is
// paused for the time given (`retryAfter` seconds, or -1) or the doubling
// pause; false, with an Error line, when the retries are used up.
bool PauseAfterNotice(LookupContext& ctx, const std::string& server, int attempt, long retryAfter);

// Holds a connection of the gate while it lives; without a gate it holds
// nothing and never waits.
class GatePass {
 public:
  GatePass(ServerGate* gate, const std::string& server, StopFlags stop, bool retry)
      : gate_(gate), server_(server), entered_(!gate || gate->Enter(server, stop, retry)) {}
  ~GatePass() {
    if (gate_ && entered_) gate_->Leave(server_);
  }
  GatePass(const GatePass&) = delete;
  GatePass& operator=(const GatePass&) = delete;
  bool Entered() const { return entered_; }

 private:
  ServerGate* gate_;
  std::string server_;
  bool entered_;
};
