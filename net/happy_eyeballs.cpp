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

ConnectResult RaceConnect(const std::vector<SocketAddress>& addresses, std::chrono::milliseconds limit,
                          const std::function<bool()>& cancelled, std::chrono::milliseconds stagger) {
  const std::vector<SocketAddress> order = InterleaveFamilies(addresses);
  const auto giveUp = Clock::now() + limit;
  std::vector<Attempt> running;
  std::vector<platform::Socket> sockets;
  std::vector<int> outcomes, errors;
  ConnectResult result;
  size_t next = 0;
  auto nextStart = Clock::now();

  for (;;) {
    if (cancelled && cancelled()) {
      CloseAll(running);
      result.State = ConnectResult::Cancelled;
      return result;
    }
    const auto now = Clock::now();
    if (now >= giveUp) {
      CloseAll(running);
      result.State = ConnectResult::TimedOut;
      return result;
    }

    // The next attempt, when its time has come or nothing else is running.
    if (next < order.size() && (running.empty() || now >= nextStart)) {
      const SocketAddress& peer = order[next++];
      result.Peer = peer;
      const platform::Socket s = platform::OpenTcpSocket(peer.Family());
      const int state = s == platform::InvalidSocket ? -1 : platform::StartConnect(s, peer);
      if (state == 1) {
        CloseAll(running);
        result.Socket = s;
        result.State = ConnectResult::Connected;
        return result;
      }
      if (state < 0) {
        result.Error = platform::LastSocketError();
        platform::CloseSocket(s);
        nextStart = now;  // a failure lets the next one start at once
      } else {
        running.push_back({s, peer});
        nextStart = now + stagger;
      }
      continue;
    }
    if (running.empty()) {
      result.State = ConnectResult::Failed;  // every address has been tried
      return result;
    }

    auto wait = std::min<Clock::duration>(giveUp - now, CancelPoll);
    if (next < order.size()) wait = std::min<Clock::duration>(wait, nextStart - now);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(wait).count();
    sockets.clear();
    for (const Attempt& a : running) sockets.push_back(a.Socket);
    outcomes.assign(running.size(), 0);
    errors.assign(running.size(), 0);
    const int ended = platform::WaitAnyConnected(sockets.data(), static_cast<int>(sockets.size()),
                                                 static_cast<int>(std::max<long long>(ms, 1)), outcomes.data(),
                                                 errors.data());
    if (ended < 0) {
      // The wait itself is broken: no attempt can be judged any more.
      result.Error = platform::LastSocketError();
      CloseAll(running);
      result.State = ConnectResult::Failed;
      return result;
    }
    if (ended == 0) continue;
    std::vector<Attempt> stillRunning;
    for (size_t i = 0; i < running.size(); ++i) {
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
    running.swap(stillRunning);
    if (result.State == ConnectResult::Connected) {
      CloseAll(running);
      return result;
    }
  }
}
