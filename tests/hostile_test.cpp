// Whois servers that misbehave on purpose: a reply that trickles without end,
// a flood, zero bytes, a reset in the middle, silence, an overlong referral, a
// referral back to the same server. Each must end the lookup promptly, keep
// memory bounded and keep every buffer within its bounds.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "cli/console_sink.h"
#include "engine/classify.h"
#include "engine/lookup.h"
#include "engine/whois_exchange.h"
#include "net/connection.h"
#include "settings/settings.h"
#include "tests/support/loopback_server.h"
#include "tests/support/recording_sink.h"

namespace {

using Clock = std::chrono::steady_clock;

// Under Wine every socket call is a round trip to the wineserver, about ten
// times slower than natively: the long runs are scaled down there to keep
// each test within a few seconds.
#ifdef _WIN32
constexpr int FloodBlocks = 128;  // 8 MiB
constexpr int LookupsInARow = 100;
#else
constexpr int FloodBlocks = 1024;  // 64 MiB
constexpr int LookupsInARow = 1000;
#endif

double SecondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// Sets CancelFlag after a delay, as the Escape key would.
class DelayedCancel {
 public:
  explicit DelayedCancel(int ms)
      : thread_([this, ms] {
          std::this_thread::sleep_for(std::chrono::milliseconds(ms));
          at_ = Clock::now();
          CancelFlag = 1;
        }) {}
  ~DelayedCancel() {
    if (thread_.joinable()) thread_.join();
  }
  // When the cancel was made (after the exchange has ended).
  Clock::time_point At() {
    thread_.join();
    return at_;
  }

 private:
  Clock::time_point at_;
  std::thread thread_;
};

// Lets a script that would go on for long stop as soon as the test is done, so
// that the server's destructor does not wait for it.
struct StopSignal {
  std::atomic<bool> stop{false};
  // Pauses in small steps until stopped or `ms` have passed.
  void Wait(LoopbackConnection& c, int ms) {
    for (int waited = 0; waited < ms && !stop; waited += 10) c.Pause(10);
  }
};

struct HostileExchange : testing::Test {
  RecordingSink sink;
  SinkScope scope{&sink};
  char referral[HostCapacity] = {};

  bool Exchange(const LoopbackServer& server, bool follow = true) {
    return RunWhoisExchange(follow, server.ServerText().c_str(), "example.com", referral);
  }
  std::string LastError() const {
    std::string last;
    for (const RecordingSink::Piece& p : sink.Pieces())
      if (p.Kind == Error) last = p.Text;
    return last;
  }
};

TEST_F(HostileExchange, EndlessTrickleEndsSoonAfterTheCancel) {
  StopSignal done;
  LoopbackServer server({[&](LoopbackConnection& c) {
    c.ReadUntil("\r\n");
    const auto start = Clock::now();
    while (!done.stop && SecondsSince(start) < 8 && c.Send("x")) c.Pause(3);
  }});
  DelayedCancel cancel(500);
  EXPECT_TRUE(Exchange(server));
  const double afterCancel = SecondsSince(cancel.At());
  done.stop = true;
  EXPECT_LT(afterCancel, 2.0);  // the grace second, and room for a loaded machine
  EXPECT_EQ(LastError(), "< Aborted by user >\n");
  EXPECT_NE(sink.TextOf(Plain).find("xxxx"), std::string::npos);  // the trickle was shown
}

TEST_F(HostileExchange, SilenceEndsWithinASecondOfTheCancel) {
  StopSignal done;
  LoopbackServer server({[&](LoopbackConnection& c) {
    c.ReadUntil("\r\n");
    c.Send("Domain Name: EXAMPLE.COM\r\n");
    done.Wait(c, 5000);
  }});
  DelayedCancel cancel(300);
  EXPECT_TRUE(Exchange(server));
  const double afterCancel = SecondsSince(cancel.At());
  done.stop = true;
  EXPECT_LT(afterCancel, 1.5);
  EXPECT_EQ(LastError(), "< Aborted by user >\n");
  EXPECT_NE(sink.TextOf(Plain).find("Domain Name: EXAMPLE.COM\r\n"), std::string::npos);
}

TEST_F(HostileExchange, ResetMidReplyKeepsWhatCame) {
  LoopbackServer server({ResetAfter("Registrar WHOIS Server: whois.half.example\r\nDomain Sta")});
  const auto start = Clock::now();
  EXPECT_TRUE(Exchange(server));
  EXPECT_LT(SecondsSince(start), 1.5);
  EXPECT_NE(sink.TextOf(Plain).find("Domain Sta"), std::string::npos);
  EXPECT_STREQ(referral, "whois.half.example");
#ifndef _WIN32
  // Wine may report a reset seen before the receive as an orderly close.
  EXPECT_EQ(LastError(), ">>Error: 10054, connection closed by remote side<<\n");
#endif
}

// Bytes after a zero byte are neither shown nor scanned for a referral, so
// the program never follows a server that the user did not see.
TEST_F(HostileExchange, ZeroBytesHideTheRestOfTheirChunk) {
  struct Case {
    std::vector<std::string> packets;
    const char* shown;
    const char* referral;
  } cases[] = {
      {{std::string("first\0hidden whois.nul.example\r\n", 33), "second\r\n"}, "firstsecond\r\n", ""},
      {{std::string("\0\0\0\0", 4), "after\r\n"}, "after\r\n", ""},
      {{std::string("Whois Server: whois.seen.example\r\n\0 whois.unseen.example", 56)},
       "Whois Server: whois.seen.example\r\n",
       "whois.seen.example"},
      {{std::string("mail: a@b.example\0c@d.example", 29)}, "mail: a@b.example", ""},
  };
  for (const Case& c : cases) {
    RecordingSink local;
    SinkScope localScope(&local);
    LoopbackServer server({[&](LoopbackConnection& conn) {
      conn.ReadUntil("\r\n");
      for (const std::string& p : c.packets) {
        conn.Send(p);
        conn.Pause(100);  // one chunk per packet
      }
    }});
    std::memset(referral, 0, sizeof referral);
    EXPECT_TRUE(Exchange(server));
    std::string shown = local.TextOf(Plain);
    for (const RecordingSink::Piece& p : local.Pieces())
      if (p.Kind == MailLink) shown += p.Text.substr(7);
    EXPECT_EQ(shown, c.shown) << c.shown;
    EXPECT_STREQ(referral, c.referral) << c.shown;
  }
}

// The referral field holds 111 characters: a longer name is taken cut, and
// not a byte is written beyond the field.
TEST_F(HostileExchange, OverlongReferralIsCutAtTheField) {
  const std::string longName = "whois." + std::string(300, 'a') + ".example";
  struct Case {
    std::string reply;
    std::string referral;
  } cases[] = {
      {"Registrar WHOIS Server: " + longName + "\r\n", longName.substr(0, HostCapacity - 1)},
      {"ReferralServer: whois://" + longName + ":4343\n", longName.substr(0, HostCapacity - 1)},
      {" whois." + std::string(HostCapacity - 1 - 6, 'b'), "whois." + std::string(HostCapacity - 1 - 6, 'b')},
      {" whois." + std::string(HostCapacity - 6, 'c'), "whois." + std::string(HostCapacity - 1 - 6, 'c')},
  };
  for (const Case& c : cases) {
    LoopbackServer server({ReplyWith(c.reply)});
    struct {
      char field[HostCapacity];
      char guard[32];
    } target;
    std::memset(&target, 0x7E, sizeof target);
    ASSERT_TRUE(RunWhoisExchange(true, server.ServerText().c_str(), "example.com", target.field));
    EXPECT_EQ(std::string(target.field), c.referral);
    EXPECT_EQ(std::string(target.guard, sizeof target.guard), std::string(sizeof target.guard, '\x7E'));
  }
}

// The console front end writes replies to a terminal: a server's escape
// sequences must not reach it, while the text around them and the front
// end's own colours do.
TEST(HostileConsole, EscapeSequencesInRepliesNeverReachTheTerminal) {
  std::FILE* file = std::tmpfile();
  ASSERT_NE(file, nullptr);
  {
    ConsoleSink console(file, true, "");
    SinkScope scope(&console);
    LoopbackServer server(
        {ReplyWith("Registrar: \x1b]0;owned\x07"
                   "Example\x1b[2J\r\n"
                   "Abuse:\tabuse@example.com\x7f\x08\r\n")});
    char referral[HostCapacity] = {};
    ASSERT_TRUE(RunWhoisExchange(false, server.ServerText().c_str(), "example.com", referral));
  }
  std::fflush(file);
  std::rewind(file);
  std::string written;
  char buffer[4096];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) written.append(buffer, n);
  std::fclose(file);
  EXPECT_NE(written.find("Registrar: ?]0;owned?Example?[2J\r\n"), std::string::npos) << written;
  EXPECT_NE(written.find("mailto:abuse@example.com??\r\n"), std::string::npos) << written;
  // What remains of ESC is the front end's own colouring, each followed by "[".
  for (size_t at = written.find('\x1b'); at != std::string::npos; at = written.find('\x1b', at + 1))
    EXPECT_EQ(written.compare(at + 1, 1, "["), 0);
  EXPECT_EQ(written.find("\x1b]"), std::string::npos);
  EXPECT_EQ(written.find("\x1b[2J"), std::string::npos);
}

// Keeps counts only: a flood must not be held in memory by the test either.
class CountingSink final : public QuietSink {
 public:
  std::atomic<long long> Bytes{0};
  std::atomic<long long> Links{0};
  std::string LastError;  // read once the exchange has ended
  void AppendOutput(TextKind kind, const char* text) override {
    long long n = static_cast<long long>(std::strlen(text));
    if (kind == MailLink) {
      n -= 7;  // "mailto:"
      ++Links;
    }
    if (kind == Plain || kind == MailLink) Bytes += n;
    if (kind == Error) LastError = text;
  }
  void ShareRecentQuery(const char*) override {}
};

// A server that never stops filling the buffer: the receives that skip the
// wait still see the cancel.
TEST(HostileFlood, EndlessFloodEndsSoonAfterTheCancel) {
  CountingSink sink;
  SinkScope scope(&sink);
  StopSignal done;
  const std::string block(65536, 'x');
  LoopbackServer server({[&](LoopbackConnection& c) {
    c.ReadUntil("\r\n");
    const auto start = Clock::now();
    while (!done.stop && SecondsSince(start) < 8 && c.Send(block)) {
    }
  }});
  char referral[HostCapacity] = {};
  DelayedCancel cancel(500);
  EXPECT_TRUE(RunWhoisExchange(true, server.ServerText().c_str(), "example.com", referral));
  const double afterCancel = SecondsSince(cancel.At());
  done.stop = true;
  EXPECT_LT(afterCancel, 2.0);  // the grace second, and room for a loaded machine
  EXPECT_EQ(sink.LastError, "< Aborted by user >\n");
  EXPECT_GT(sink.Bytes.load(), 65536);
}

// The resident set size of this process in KiB, 0 where it cannot be read.
long ResidentKiB() {
#ifdef __linux__
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.compare(0, 6, "VmRSS:") == 0) return std::stol(line.substr(6));
#endif
  return 0;
}

TEST(HostileFlood, LargeReplyStreamsThroughInBoundedMemory) {
  CountingSink sink;
  SinkScope scope(&sink);
  // 64 KiB of whois-like lines with e-mail words and a referral in each block.
  std::string block;
  while (block.size() < 65536 - 128) {
    block += "Registrant Email: owner@example.com\r\n";
    block += "Registrar WHOIS Server: whois.flood.example\r\n";
    block += std::string(60, 'x') + "\r\n";
  }
  const int blocks = FloodBlocks;
  LoopbackServer server({[&](LoopbackConnection& c) {
    c.ReadUntil("\r\n");
    for (int i = 0; i < blocks && c.Send(block); ++i) {
    }
  }});

  std::atomic<bool> running{true};
  std::atomic<long> peak{0};
  const long before = ResidentKiB();
  std::thread sampler([&] {
    while (running) {
      const long now = ResidentKiB();
      if (now > peak) peak = now;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  });
  char referral[HostCapacity] = {};
  const auto start = Clock::now();
  const bool sent = RunWhoisExchange(true, server.ServerText().c_str(), "example.com", referral);
  const double seconds = SecondsSince(start);
  running = false;
  sampler.join();

  EXPECT_TRUE(sent);
  EXPECT_EQ(sink.Bytes.load(), static_cast<long long>(block.size()) * blocks);
  EXPECT_GT(sink.Links.load(), 0);
  EXPECT_STREQ(referral, "whois.flood.example");
  if (before > 0) {
    EXPECT_LT(peak - before, 16 * 1024) << "KiB grown while streaming";
  }
  RecordProperty("seconds", std::to_string(seconds));
}

// Whole lookups reach the fake server through an HTTP proxy that it plays
// itself: the connection then needs no name lookup of the whois servers, and
// the CONNECT line of each exchange names the server that was asked.
struct HostileLookup : testing::Test {
  RecordingSink sink{"example.com"};
  SinkScope scope{&sink};
  void SetUp() override {
    Settings.ResolveDomain = 0;
    Settings.ReverseIP = 0;
    Settings.GetAbuseInfo = 1;
  }
  void ThroughProxy(const LoopbackServer& server) {
    Settings.Enabled = 1;
    Settings.Type = HTTP;
    CopyText(Settings.Server, ProxyTextCapacity, "127.0.0.1");
    Settings.Port = server.Port();
  }
};

LoopbackServer::Script ProxiedReply(std::string reply) {
  return [reply](LoopbackConnection& c) {
    c.ReadUntil("\r\n\r\n");
    c.Send("HTTP/1.0 200 Connection established\r\n\r\n");
    c.ReadUntil("\r\n");
    c.Send(reply);
  };
}

// The CONNECT target of each connection the server saw.
std::vector<std::string> Targets(const LoopbackServer& server) {
  std::vector<std::string> targets;
  for (const std::string& log : server.Received()) {
    if (log.compare(0, 8, "CONNECT ") != 0) continue;
    targets.push_back(log.substr(8, log.find(' ', 8) - 8));
  }
  return targets;
}

TEST_F(HostileLookup, ReferralsBackToTheServerJustAskedAreNotFollowed) {
  const std::string longName = "whois." + std::string(200, 'z') + ".example";
  struct Case {
    const char* query;
    std::string reply;
    std::vector<std::string> targets;
  } cases[] = {
      // The registry names itself (as the .jp banner does), in any case and
      // with its port: asked once, and no referral step follows.
      {"example.com", "Registrar WHOIS Server: whois.verisign-grs.com\r\n", {"whois.verisign-grs.com:43"}},
      {"example.com", "use 'whois -h WHOIS.Verisign-GRS.com:43 help'\r\n", {"whois.verisign-grs.com:43"}},
      // The address registry names itself: asked once.
      {"192.0.2.1", "ReferralServer: whois://whois.arin.net\n", {"whois.arin.net:43"}},
      // The same host on another port is another server.
      {"192.0.2.1", "ReferralServer: whois://whois.arin.net:4343\n", {"whois.arin.net:43", "whois.arin.net:4343"}},
      // An overlong referral is asked about under its first 111 characters.
      {"example.com",
       "Registrar WHOIS Server: " + longName + "\r\n",
       {"whois.verisign-grs.com:43", longName.substr(0, HostCapacity - 1) + ":43", "whois.abuse.net:43"}},
  };
  for (const Case& c : cases) {
    sink.SetQuery(c.query);
    std::vector<LoopbackServer::Script> scripts(8, ProxiedReply(c.reply));
    LoopbackServer server(scripts);
    ThroughProxy(server);
    const auto start = Clock::now();
    EXPECT_EQ(RunLookup(), static_cast<int>(c.targets.size())) << c.query;
    EXPECT_LT(SecondsSince(start), 3.0);
    server.WaitDone(200);  // the scripts left over never run
    EXPECT_EQ(Targets(server), c.targets) << c.query;
  }
}

// Run under LeakSanitizer or valgrind by scripts/leak-test.sh; a leak of a
// few bytes per lookup shows there as thousands of blocks.
TEST_F(HostileLookup, ThousandLookupsInARow) {
  const int lookups = LookupsInARow;
  Settings.GetAbuseInfo = 0;
  std::vector<LoopbackServer::Script> scripts;
  for (int i = 0; i < lookups; ++i) {
    scripts.push_back(
        ProxiedReply("Registrar WHOIS Server: whois.registrar.test\r\n"
                     "Registrant Email: owner@example.com\r\n"));
    scripts.push_back(ProxiedReply("Registrant Email: owner@example.com\r\n"));
  }
  LoopbackServer server(scripts);
  ThroughProxy(server);
  const auto start = Clock::now();
  int exchanges = 0;
  for (int i = 0; i < lookups && SecondsSince(start) < 50; ++i) exchanges += RunLookup();
  EXPECT_EQ(exchanges, 2 * lookups);
  EXPECT_TRUE(server.WaitDone(2000));
}

}  // namespace
