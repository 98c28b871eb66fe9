// The platform edge: the wake event, the worker thread's bounded join, and
// socket errors reported as Windows sockets codes on every platform.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

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
      {"1.2.3.4", "1.2.3.4"},
      {"127.0.0.1", "127.0.0.1"},
      {"0.0.0.0", "0.0.0.0"},
      {"255.255.255.255", nullptr},  // reads as the "none" value
      {"1.2.3.256", nullptr},
      {"a.b.c.d", nullptr},
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
