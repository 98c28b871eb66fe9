// The connection race over the addresses of a host, against listeners on
// loopback: refused and silently dropped attempts, cancel, time limit.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include "net/happy_eyeballs.h"
#include "platform/sockets.h"

namespace {

using Clock = std::chrono::steady_clock;
using platform::SocketAddress;
using std::chrono::milliseconds;

long long MsSince(Clock::time_point start) {
  return std::chrono::duration_cast<milliseconds>(Clock::now() - start).count();
}

// A TCP socket bound to an ephemeral port of `ip`: refusing (bound, not
// listening), listening (connects complete at once, nobody accepts), or deaf
// (the queue is full, so further connection attempts get no answer at all).
class Peer {
 public:
  enum Kind { Refusing, Listening, Deaf };
  Peer(const char* ip, Kind kind) {
    if (!platform::ParseAddress(ip, 0, address_)) return;
    socket_ = platform::OpenTcpSocket(address_.Family());
    if (socket_ == platform::InvalidSocket) return;
    const auto s = static_cast<decltype(socket(0, 0, 0))>(socket_);
    socklen_t length = static_cast<socklen_t>(address_.Length);
    if (bind(s, reinterpret_cast<const sockaddr*>(address_.Bytes), length) != 0 ||
        getsockname(s, reinterpret_cast<sockaddr*>(address_.Bytes), &length) != 0)
      return;
    if (kind == Refusing) {
      ready_ = true;
      return;
    }
    if (listen(s, kind == Deaf ? 0 : 16) != 0) return;
    if (kind == Listening) {
      ready_ = true;
      return;
    }
    for (int i = 0; i < 8 && !ready_; ++i) {
      const platform::Socket filler = platform::OpenTcpSocket(address_.Family());
      fillers_.push_back(filler);
      int state = platform::StartConnect(filler, address_);
      for (int wait = 0; wait < 10 && state == 0; ++wait) {
        std::this_thread::sleep_for(milliseconds(20));
        state = platform::WaitConnected(filler, 0);
      }
      ready_ = state == 0;
    }
  }
  ~Peer() {
    for (const platform::Socket s : fillers_) platform::CloseSocket(s);
    platform::CloseSocket(socket_);
  }
  Peer(const Peer&) = delete;
  Peer& operator=(const Peer&) = delete;

  bool Ready() const { return ready_; }
  const SocketAddress& Address() const { return address_; }

 private:
  SocketAddress address_;
  platform::Socket socket_ = platform::InvalidSocket;
  std::vector<platform::Socket> fillers_;
  bool ready_ = false;
};

bool HaveIPv6Loopback() {
  Peer probe("::1", Peer::Listening);
  return probe.Ready();
}

const auto Never = [] { return false; };

SocketAddress V4(const char* ip, std::uint16_t port) {
  SocketAddress a;
  platform::ParseAddress(ip, port, a);
  return a;
}

TEST(HappyEyeballs, OrderAlternatesFamiliesStartingWithTheFirst) {
  const SocketAddress a4 = V4("192.0.2.1", 43), b4 = V4("192.0.2.2", 43), c4 = V4("192.0.2.3", 43);
  const SocketAddress a6 = V4("2001:db8::1", 43), b6 = V4("2001:db8::2", 43);
  struct Case {
    std::vector<SocketAddress> given, expected;
  } const cases[] = {
      {{a4, b4, c4, a6, b6}, {a4, a6, b4, b6, c4}},
      {{a6, a4, b4, c4}, {a6, a4, b4, c4}},
      {{a6, b6, a4}, {a6, a4, b6}},
      {{a4, b4}, {a4, b4}},
      {{}, {}},
  };
  for (const Case& c : cases) {
    const std::vector<SocketAddress> order = InterleaveFamilies(c.given);
    ASSERT_EQ(order.size(), c.expected.size());
    for (size_t i = 0; i < order.size(); ++i)
      EXPECT_EQ(platform::FormatAddress(order[i]), platform::FormatAddress(c.expected[i])) << i;
  }
}

// A refused attempt hands over at once, long before the next would start.
TEST(HappyEyeballs, RefusedAddressGivesWayToTheNextAtOnce) {
  const bool v6 = HaveIPv6Loopback();
  for (const char* dead : {"127.0.0.1", "::1"}) {
    if (!v6 && std::string(dead) == "::1") continue;
    Peer refusing(dead, Peer::Refusing);
    Peer live("127.0.0.1", Peer::Listening);
    ASSERT_TRUE(refusing.Ready() && live.Ready()) << dead;
    const auto start = Clock::now();
    const ConnectResult r = RaceConnect({refusing.Address(), live.Address()}, milliseconds(5000), Never,
                                        milliseconds(2000));
    EXPECT_LT(MsSince(start), 1500) << dead;
    ASSERT_EQ(r.State, ConnectResult::Connected) << dead;
    EXPECT_TRUE(r.Peer == live.Address()) << dead;
    platform::CloseSocket(r.Socket);
  }
}

// An address that never answers holds the race up by the stagger only; with
// IPv6 dropped, IPv4 is reached within half a second.
TEST(HappyEyeballs, DroppedAddressIsOvertakenAfterTheStagger) {
  const bool v6 = HaveIPv6Loopback();
  for (const char* dead : {"127.0.0.1", "::1"}) {
    if (!v6 && std::string(dead) == "::1") continue;
    Peer deaf(dead, Peer::Deaf);
    if (!deaf.Ready()) GTEST_SKIP() << "the listen queue cannot be filled here";
    Peer live("127.0.0.1", Peer::Listening);
    ASSERT_TRUE(live.Ready());
    const auto start = Clock::now();
    const ConnectResult r = RaceConnect({deaf.Address(), live.Address()}, milliseconds(5000), Never);
    const long long took = MsSince(start);
    ASSERT_EQ(r.State, ConnectResult::Connected) << dead;
    EXPECT_TRUE(r.Peer == live.Address()) << dead;
    EXPECT_GE(took, 200) << dead;
    EXPECT_LT(took, 500) << dead;
    platform::CloseSocket(r.Socket);
  }
}

TEST(HappyEyeballs, EveryAddressIsTriedBeforeFailure) {
  Peer a("127.0.0.1", Peer::Refusing), b("127.0.0.1", Peer::Refusing), c("127.0.0.1", Peer::Refusing);
  ASSERT_TRUE(a.Ready() && b.Ready() && c.Ready());
  const ConnectResult r = RaceConnect({a.Address(), b.Address(), c.Address()}, milliseconds(5000), Never);
  EXPECT_EQ(r.State, ConnectResult::Failed);
  EXPECT_EQ(r.Error, platform::ErrConnRefused);
  EXPECT_TRUE(r.Peer == c.Address());
  EXPECT_EQ(r.Socket, platform::InvalidSocket);
  EXPECT_EQ(RaceConnect({}, milliseconds(100), Never).State, ConnectResult::Failed);
}

TEST(HappyEyeballs, CancelAndTimeLimitEndARaceOfSilentAddresses) {
  Peer deaf("127.0.0.1", Peer::Deaf);
  if (!deaf.Ready()) GTEST_SKIP() << "the listen queue cannot be filled here";
  const std::vector<SocketAddress> silent = {deaf.Address(), deaf.Address()};

  std::atomic<bool> cancel{false};
  std::thread user([&] {
    std::this_thread::sleep_for(milliseconds(300));
    cancel = true;
  });
  auto start = Clock::now();
  ConnectResult r = RaceConnect(silent, milliseconds(30000), [&] { return cancel.load(); });
  user.join();
  EXPECT_EQ(r.State, ConnectResult::Cancelled);
  EXPECT_LT(MsSince(start), 1300);

  start = Clock::now();
  r = RaceConnect(silent, milliseconds(400), Never);
  EXPECT_EQ(r.State, ConnectResult::TimedOut);
  EXPECT_GE(MsSince(start), 390);
  EXPECT_LT(MsSince(start), 1400);
}

}  // namespace
