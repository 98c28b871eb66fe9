#include "net/happy_eyeballs.h"

#include <algorithm>

namespace {

using Clock = std::chrono::steady_clock;
using platform::SocketAddress;

// The longest single wait, so that a cancel is seen in good time.
constexpr std::chrono::milliseconds CancelPoll(250);

struct Attempt {
  platform::Socket Socket;
  SocketAddress Peer;
};

void CloseAll(std::vector<Attempt>& attempts) {
  for (const Attempt& a : attempts) platform::CloseSocket(a.Socket);
  attempts.clear();
}

}  // namespace

std::vector<SocketAddress> InterleaveFamilies(const std::vector<SocketAddress>& addresses) {
  std::vector<SocketAddress> first, second;
  const platform::AddressFamily lead = addresses.empty() ? platform::AddressFamily::None : addresses[0].Family();
  for (const SocketAddress& a : addresses) (a.Family() == lead ? first : second).push_back(a);
  std::vector<SocketAddress> order;
  for (size_t i = 0; i < std::max(first.size(), second.size()); ++i) {
    if (i < first.size()) order.push_back(first[i]);
    if (i < second.size()) order.push_back(second[i]);
  }
  return order;
}

namespace {

// One race: the attempts under way and what has come of them so far.
struct Race {
  std::vector<Attempt> running;
  ConnectResult result;
  Clock::time_point nextStart = Clock::now();

  ConnectResult End(decltype(ConnectResult::State) state) {
    CloseAll(running);
    result.State = state;
    return result;
  }

  // Starts an attempt on `peer`; true when it connected at once.
  bool Start(const SocketAddress& peer, Clock::time_point now, std::chrono::milliseconds stagger) {
    result.Peer = peer;
    const platform::Socket s = platform::OpenTcpSocket(peer.Family());
    const int state = s == platform::InvalidSocket ? -1 : platform::StartConnect(s, peer);
    if (state == 1) {
      CloseAll(running);
      result.Socket = s;
      result.State = ConnectResult::Connected;
      return true;
    }
    if (state < 0) {
      result.Error = platform::LastSocketError();
      platform::CloseSocket(s);
      nextStart = now;  // a failure lets the next one start at once
    } else {
      running.push_back({s, peer});
      nextStart = now + stagger;
    }
    return false;
  }

  // Waits at most `ms` for an attempt to end and takes in every one that
  // did: the first connected wins, a failed one lets the next start at once.
  // False when the wait itself is broken (no attempt can be judged any more).
  bool Wait(long long ms) {
    std::vector<platform::Socket> sockets;
    for (const Attempt& a : running) sockets.push_back(a.Socket);
    std::vector<int> outcomes(running.size(), 0), errors(running.size(), 0);
    const int ended = platform::WaitAnyConnected(sockets.data(), static_cast<int>(sockets.size()),
                                                 static_cast<int>(std::max<long long>(ms, 1)), outcomes.data(),
                                                 errors.data());
    if (ended < 0) {
      result.Error = platform::LastSocketError();
      return false;
    }
    std::vector<Attempt> stillRunning;
    for (size_t i = 0; i < running.size() && ended > 0; ++i) {
      if (outcomes[i] == 1 && result.State != ConnectResult::Connected) {
        result.Socket = running[i].Socket;
        result.Peer = running[i].Peer;
        result.State = ConnectResult::Connected;
      } else if (outcomes[i] != 0) {
        if (outcomes[i] < 0) result.Error = errors[i];
        platform::CloseSocket(running[i].Socket);
        nextStart = Clock::now();
      } else {
        stillRunning.push_back(running[i]);
      }
    }
    if (ended > 0) running.swap(stillRunning);
    return true;
  }
};

}  // namespace

ConnectResult RaceConnect(const std::vector<SocketAddress>& addresses, std::chrono::milliseconds limit,
                          const std::function<bool()>& cancelled, std::chrono::milliseconds stagger) {
  const std::vector<SocketAddress> order = InterleaveFamilies(addresses);
  const auto giveUp = Clock::now() + limit;
  Race race;
  size_t next = 0;
  for (;;) {
    if (cancelled && cancelled()) return race.End(ConnectResult::Cancelled);
    const auto now = Clock::now();
    if (now >= giveUp) return race.End(ConnectResult::TimedOut);
    // The next attempt, when its time has come or nothing else is running.
    if (next < order.size() && (race.running.empty() || now >= race.nextStart)) {
      if (race.Start(order[next++], now, stagger)) return race.result;
      continue;
    }
    if (race.running.empty()) return race.End(ConnectResult::Failed);  // every address has been tried
    auto wait = std::min<Clock::duration>(giveUp - now, CancelPoll);
    if (next < order.size()) wait = std::min<Clock::duration>(wait, race.nextStart - now);
    if (!race.Wait(std::chrono::duration_cast<std::chrono::milliseconds>(wait).count()))
      return race.End(ConnectResult::Failed);
    // The winner has left the running ones; the others go.
    if (race.result.State == ConnectResult::Connected) return race.End(ConnectResult::Connected);
  }
}
