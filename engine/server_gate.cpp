#include "engine/server_gate.h"

#include "engine/lookup_context.h"
#include "net/output_sink.h"
#include "platform/text.h"

int PauseSeconds(int notices, long retryAfter) {
  if (retryAfter >= 0) return static_cast<int>(retryAfter < LongestPauseSeconds ? retryAfter : LongestPauseSeconds);
  int seconds = FirstPauseSeconds;
  for (int i = 0; i < notices && seconds < LongestPauseSeconds; ++i) seconds *= 2;
  return seconds < LongestPauseSeconds ? seconds : LongestPauseSeconds;
}

std::string ServerGate::Key(const std::string& server) { return LowerText(server); }

void ServerGate::DropOldAnswers(State& s, Clock::time_point now) {
  while (!s.answers.empty() && (s.answers.size() > 64 || now - s.answers.front() > std::chrono::seconds(1)))
    s.answers.pop_front();
}

bool ServerGate::Free(const State& s, Clock::time_point now, bool retry) const {
  return s.open < perServer_ && now >= ReadyAt(s) && (retry || s.retriesWaiting == 0);
}

bool ServerGate::Enter(const std::string& server, StopFlags stop, bool retry) {
  const std::string key = Key(server);
  std::unique_lock<std::mutex> hold(lock_);
  State* const s = &servers_[key];
  bool waited = false;
  if (retry) ++s->retriesWaiting;
  for (;;) {
    const Clock::time_point now = Clock::now();
    const bool stopped = stop.Requested();
    if (stopped || Free(*s, now, retry)) {
      if (retry) --s->retriesWaiting;
      if (!stopped) {
        if (++s->open > s->peak) s->peak = s->open;
        s->lastStart = now;
      }
      if (waited && waitHook_) {
        hold.unlock();
        waitHook_(false);
      }
      return !stopped;
    }
    if (!waited && waitHook_) {
      waited = true;
      hold.unlock();
      waitHook_(true);
      hold.lock();
      continue;  // the map's entries stay where they are
    }
    // The stop flags are plain atomics nobody signals: look at them a few
    // times a second.
    Clock::time_point wake = now + std::chrono::milliseconds(200);
    if (s->open < perServer_ && ReadyAt(*s) < wake) wake = ReadyAt(*s);
    changed_.wait_until(hold, wake);
  }
}

void ServerGate::Leave(const std::string& server) {
  {
    std::lock_guard<std::mutex> hold(lock_);
    State& s = servers_[Key(server)];
    if (s.open > 0) --s.open;
  }
  changed_.notify_all();
}

int ServerGate::Pause(const std::string& server, long retryAfter) {
  std::lock_guard<std::mutex> hold(lock_);
  State& s = servers_[Key(server)];
  const Clock::time_point now = Clock::now();
  // Notices to the exchanges that were under way when the first came are one
  // notice: the pause that runs stands.
  if (retryAfter < 0 && s.pausedUntil > now)
    return static_cast<int>(std::chrono::ceil<std::chrono::seconds>(s.pausedUntil - now).count());
  const int seconds = PauseSeconds(s.notices, retryAfter);
  ++s.notices;
  const Clock::time_point until = now + std::chrono::seconds(seconds);
  // Several lookups may meet the same notice: the longest pause stands.
  if (until > s.pausedUntil) s.pausedUntil = until;
  // From now on the server is asked no faster than it answered.
  DropOldAnswers(s, now);
  if (!s.answers.empty()) {
    const Clock::duration spacing = std::chrono::milliseconds(PacedMillisecondsPerAnswer) /
                                    static_cast<int>(s.answers.size());
    if (spacing > s.spacing) s.spacing = spacing;
  }
  return seconds;
}

void ServerGate::Answered(const std::string& server) {
  std::lock_guard<std::mutex> hold(lock_);
  State& s = servers_[Key(server)];
  s.notices = 0;
  const Clock::time_point now = Clock::now();
  s.answers.push_back(now);
  DropOldAnswers(s, now);
}

int ServerGate::PeakConnections(const std::string& server) {
  std::lock_guard<std::mutex> hold(lock_);
  return servers_[Key(server)].peak;
}

bool PauseAfterNotice(LookupContext& ctx, const std::string& server, int attempt, long retryAfter) {
  if (attempt >= RateLimitRetries) {
    AppendFormatted(ctx.Out, Error, "%s still limits the query rate after %d retries: no answer\n", server.c_str(),
                    RateLimitRetries);
    ++ctx.Unanswered;
    return false;
  }
  const int seconds = ctx.Gate->Pause(server, retryAfter);
  AppendFormatted(ctx.Out, Info, "\n%s limits the query rate: asking again in %d s...\n", server.c_str(), seconds);
  return true;
}
