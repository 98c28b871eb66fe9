#include "engine/server_gate.h"

#include "platform/text.h"

int PauseSeconds(int notices, long retryAfter) {
  if (retryAfter >= 0) return static_cast<int>(retryAfter < LongestPauseSeconds ? retryAfter : LongestPauseSeconds);
  int seconds = FirstPauseSeconds;
  for (int i = 0; i < notices && seconds < LongestPauseSeconds; ++i) seconds *= 2;
  return seconds < LongestPauseSeconds ? seconds : LongestPauseSeconds;
}

std::string ServerGate::Key(const std::string& server) {
  std::string key = server;
  for (char& c : key) c = Lower(c);
  return key;
}

bool ServerGate::Enter(const std::string& server, StopFlags stop, bool retry) {
  const std::string key = Key(server);
  std::unique_lock<std::mutex> hold(lock_);
  if (retry) ++servers_[key].retriesWaiting;
  for (;;) {
    State& s = servers_[key];
    if (stop.Requested()) {
      if (retry) --s.retriesWaiting;
      return false;
    }
    const Clock::time_point now = Clock::now();
    if (s.open < perServer_ && now >= s.pausedUntil && (retry || s.retriesWaiting == 0)) {
      if (retry) --s.retriesWaiting;
      if (++s.open > s.peak) s.peak = s.open;
      return true;
    }
    // The stop flags are plain atomics nobody signals: look at them a few
    // times a second.
    Clock::time_point wake = now + std::chrono::milliseconds(200);
    if (s.open < perServer_ && s.pausedUntil < wake) wake = s.pausedUntil;
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
  return seconds;
}

void ServerGate::Answered(const std::string& server) {
  std::lock_guard<std::mutex> hold(lock_);
  servers_[Key(server)].notices = 0;
}

int ServerGate::PeakConnections(const std::string& server) {
  std::lock_guard<std::mutex> hold(lock_);
  return servers_[Key(server)].peak;
}
