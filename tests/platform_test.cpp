// The platform edge: the wake event, the worker thread's bounded join, and
// socket errors reported as Windows sockets codes on every platform.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#ifndef _WIN32
#include <sys/resource.h>
#include <sys/select.h>
#include <unistd.h>
#endif

#include "platform/sockets.h"
#include "platform/text.h"
#include "platform/thread.h"
#include "tests/support/loopback_server.h"

namespace {

using Clock = std::chrono::steady_clock;

TEST(Event, SignalsCollapseAndResetAutomatically) {
  platform::Event event;
  EXPECT_FALSE(event.WaitFor(10));  // created unsignalled
  event.Signal();
  event.Signal();
  EXPECT_TRUE(event.WaitFor(10));
  EXPECT_FALSE(event.WaitFor(10));  // two signals, one release
}

TEST(Thread, JoinGivesUpAfterItsTimeAndAbandonLetsGo) {
  static std::atomic<bool> release{false};
  static std::atomic<bool> ended{false};
  release = false;
  ended = false;
  platform::Thread thread;
  ASSERT_TRUE(thread.Start(
      [](void*) -> unsigned {
        while (!release) std::this_thread::sleep_for(std::chrono::milliseconds(5));
        ended = true;
        return 0;
      },
      nullptr));
  const auto start = Clock::now();
  EXPECT_FALSE(thread.Join(100));
  EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(90));
  thread.Abandon();
  EXPECT_FALSE(thread.Running());
  release = true;
  for (int i = 0; i < 200 && !ended; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  EXPECT_TRUE(ended);
  platform::SleepMilliseconds(20);  // let the abandoned thread finish freeing its state
}

TEST(Sockets, RefusedConnectIsReportedAsWsaConnRefused) {
  std::uint16_t port;
  {
    LoopbackServer gone({});
    port = gone.Port();
  }
  const platform::Socket s = platform::OpenTcpSocket();
  ASSERT_NE(s, platform::InvalidSocket);
  int r = platform::StartConnectIPv4(s, platform::ParseIPv4("127.0.0.1"), port);
  for (int i = 0; i < 10 && r == 0; ++i) r = platform::WaitConnected(s, 1);
  EXPECT_EQ(r, -1);
  EXPECT_EQ(platform::LastSocketError(), platform::ErrConnRefused);
  platform::CloseSocket(s);
}

#ifndef _WIN32
// A socket numbered beyond what select can watch is waited on all the same.
TEST(Sockets, HighSocketNumbersAreWaitedOn) {
  rlimit limit;
  ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &limit), 0);
  const int high = FD_SETSIZE + 100;
  if (limit.rlim_max <= static_cast<rlim_t>(high)) GTEST_SKIP() << "too few files allowed";
  const rlimit saved = limit;
  limit.rlim_cur = static_cast<rlim_t>(high) + 1;
  ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &limit), 0);
  LoopbackServer server({ReplyWith("x")});
  const platform::Socket s = platform::OpenTcpSocket();
  int state = platform::StartConnectIPv4(s, platform::ParseIPv4("127.0.0.1"), server.Port());
  for (int i = 0; i < 5 && state == 0; ++i) state = platform::WaitConnected(s, 1);
  ASSERT_EQ(state, 1);
  ASSERT_EQ(dup2(static_cast<int>(s), high), high);
  platform::CloseSocket(s);
  ASSERT_EQ(platform::SendBytes(high, "q\r\n", 3), 3);
  EXPECT_EQ(platform::WaitReadable(high, 2), 1);
  platform::CloseSocket(high);
  setrlimit(RLIMIT_NOFILE, &saved);
}
#endif

TEST(Sockets, AddressTexts) {
  struct Case {
    const char* text;
    const char* formatted;  // nullptr: not an address
  } cases[] = {
      {"1.2.3.4", "1.2.3.4"}, {"127.0.0.1", "127.0.0.1"},
      {"0.0.0.0", "0.0.0.0"}, {"255.255.255.255", nullptr},  // reads as the "none" value
      {"1.2.3.256", nullptr}, {"a.b.c.d", nullptr},
  };
  for (const Case& c : cases) {
    const std::uint32_t a = platform::ParseIPv4(c.text);
    if (c.formatted) {
      EXPECT_EQ(platform::FormatIPv4(a), c.formatted) << c.text;
    } else {
      EXPECT_EQ(a, platform::AddressNone) << c.text;
    }
  }
}

TEST(Sockets, UnknownNameFails) {
  platform::HostEntry entry;
  EXPECT_FALSE(platform::ResolveName("no-such-host.invalid", entry));
}

TEST(Sockets, AddressesOfBothFamilies) {
  struct Case {
    const char* text;
    const char* formatted;  // nullptr: not a numeric address
    const char* reverse;
  } const cases[] = {
      {"192.0.2.1", "192.0.2.1", "1.2.0.192.in-addr.arpa"},
      {"127.1", "127.0.0.1", "1.0.0.127.in-addr.arpa"},  // as inet_addr reads it
      {"255.255.255.255", "255.255.255.255", "255.255.255.255.in-addr.arpa"},
      {"2001:db8::1", "2001:db8::1", "1.0.0.0.0.0.0.0.0.0.0.0.0.0.0.0.0.0.0.0.0.0.0.0.8.b.d.0.1.0.0.2.ip6.arpa"},
      {"[2001:DB8::a:1]", "2001:db8::a:1", nullptr},
      {"::ffff:192.0.2.1", "::ffff:192.0.2.1", nullptr},
      {"::1", "::1", nullptr},
      {"[192.0.2.1]", nullptr, nullptr},
      {"[::1]x", nullptr, nullptr},
      {"[::1", nullptr, nullptr},
      {"2001:db8::g", nullptr, nullptr},
      {"1:2:3", nullptr, nullptr},
      {"whois.example.net", nullptr, nullptr},
      {"", nullptr, nullptr},
  };
  for (const Case& c : cases) {
    platform::SocketAddress a;
    EXPECT_EQ(platform::ParseAddress(c.text, 4343, a), c.formatted != nullptr) << c.text;
    if (!c.formatted) continue;
    EXPECT_EQ(platform::FormatAddress(a), c.formatted) << c.text;
    EXPECT_EQ(a.Port(), 4343) << c.text;
    if (c.reverse) {
      EXPECT_EQ(platform::ReverseZoneName(a), c.reverse) << c.text;
    }
  }
  EXPECT_EQ(platform::ReverseZoneName(platform::SocketAddress{}), "");
}

bool InFakeInternet() {
  const char* flag = std::getenv("MERROWGATE_FAKE_INTERNET");
  return flag && std::string(flag) == "1";
}

// Numeric addresses need no lookup; names give every address of both families.
TEST(Sockets, ResolveAllTable) {
  struct Case {
    const char* host;
    bool fakeInternet;
    std::vector<std::string> addresses;  // in any order; empty: no address
  } const cases[] = {
      {"192.0.2.7", false, {"192.0.2.7"}},
      {"2001:db8::7", false, {"2001:db8::7"}},
      {"[2001:db8::7]", false, {"2001:db8::7"}},
      {"no-such-host.invalid", false, {}},
      {"whois.arin.net", true, {"127.0.0.3"}},
      {"v6only.example.net", true, {"fd00:77::1"}},
      {"[v6only.example.net]", true, {"fd00:77::1"}},
      {"dual.example.net", true, {"127.0.0.40", "fd00:77::2"}},
  };
  for (const Case& c : cases) {
    if (c.fakeInternet && !InFakeInternet()) continue;
    std::vector<platform::SocketAddress> found;
    EXPECT_EQ(platform::ResolveAll(c.host, 43, found), !c.addresses.empty()) << c.host;
    std::vector<std::string> texts;
    for (const platform::SocketAddress& a : found) {
      texts.push_back(platform::FormatAddress(a));
      EXPECT_EQ(a.Port(), 43) << c.host;
    }
    std::sort(texts.begin(), texts.end());
    EXPECT_EQ(texts, c.addresses) << c.host;
    if (c.addresses.empty()) {
      // not found, or "try again" where no name server can be reached
      const int e = platform::LastSocketError();
      EXPECT_TRUE(e == platform::ErrHostNotFound || e == platform::ErrTryAgain) << c.host << " " << e;
    }
  }
  if (!InFakeInternet()) return;
  std::string name;
  platform::SocketAddress v6;
  ASSERT_TRUE(platform::ParseAddress("fd00:77::1", 0, v6));
  EXPECT_TRUE(platform::ResolveAddressName(v6, name));
  EXPECT_EQ(name, "v6only.example.net");
}

// Connects of both families run side by side and end one by one.
TEST(Sockets, WaitAnyConnectedTellsEachOutcome) {
  LoopbackServer live({});
  std::uint16_t closed;
  {
    LoopbackServer gone({});
    closed = gone.Port();
  }
  const platform::SocketAddress targets[] = {platform::MakeIPv4Address(platform::ParseIPv4("127.0.0.1"), closed),
                                             platform::MakeIPv4Address(platform::ParseIPv4("127.0.0.1"), live.Port())};
  platform::Socket sockets[2];
  int outcomes[2] = {0, 0}, errors[2] = {0, 0}, final[2] = {0, 0};
  for (int i = 0; i < 2; ++i) {
    sockets[i] = platform::OpenTcpSocket(targets[i].Family());
    final[i] = platform::StartConnect(sockets[i], targets[i]);
  }
  for (int round = 0; round < 20 && (final[0] == 0 || final[1] == 0); ++round) {
    ASSERT_GE(platform::WaitAnyConnected(sockets, 2, 100, outcomes, errors), 0);
    for (int i = 0; i < 2; ++i) {
      if (final[i] != 0) continue;
      final[i] = outcomes[i];
      if (outcomes[i] < 0) {
        EXPECT_EQ(errors[i], platform::ErrConnRefused);
      }
    }
  }
  EXPECT_EQ(final[0], -1);
  EXPECT_EQ(final[1], 1);
  for (const platform::Socket s : sockets) platform::CloseSocket(s);
}

// Only ASCII letters fold: bytes of other code pages compare as they stand.
TEST(Text, CaseIsIgnoredForAsciiLettersOnly) {
  struct Case {
    const char *a, *b;
    bool equal, prefix;
  } const cases[] = {
      {"WWW.Example", "www.example", true, true},
      {"www.", "www.example", false, false},
      {"www.example", "www.", false, true},
      {"\xC4rger", "\xE4rger", false, false},
      {"[@]", "[`]", false, false},  // neighbours of the letters
      {"", "", true, true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(EqualsIgnoringCase(c.a, c.b), c.equal) << c.a << " / " << c.b;
    EXPECT_EQ(StartsWithIgnoringCase(c.a, c.b), c.prefix) << c.a << " / " << c.b;
  }
}

TEST(Text, CopyTextCutsToTheFieldAndAlwaysTerminates) {
  char field[4] = {'x', 'x', 'x', 'x'};
  CopyText(field, sizeof field, "abcdef");
  EXPECT_STREQ(field, "abc");
  CopyText(field, 1, "abc");
  EXPECT_STREQ(field, "");
  field[0] = 'x';
  CopyText(field, 0, "abc");
  EXPECT_EQ(field[0], 'x');
}

}  // namespace
