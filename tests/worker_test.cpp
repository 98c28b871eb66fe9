// Whole lookups: the five-step sequence against fake servers of the fake
// internet (scripts/fake-internet), and the worker thread's wake, cancel and
// quit handling. Outside the fake internet these tests skip.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "engine/lookup.h"
#include "engine/rdap_bootstrap.h"
#include "engine/rdap_refresh.h"
#include "net/connection.h"
#include "platform/sockets.h"
#include "settings/settings.h"
#include "tests/support/loopback_server.h"
#include "tests/support/recording_sink.h"
#include "tests/support/temp_files.h"
#include "ui/lookup_thread.h"

namespace {

using Clock = std::chrono::steady_clock;

bool InFakeInternet() {
  platform::HostEntry entry;
  return platform::ResolveName("whois.arin.net", entry) && platform::FormatIPv4(entry.Addresses.front()) == "127.0.0.3";
}

#define REQUIRE_FAKE_INTERNET() \
  if (!InFakeInternet()) GTEST_SKIP() << "run inside scripts/fake-internet"

// A fake whois server on port 43 of its fake-internet address.
std::unique_ptr<LoopbackServer> Whois(const char* address, std::vector<LoopbackServer::Script> scripts) {
  return std::make_unique<LoopbackServer>(std::move(scripts), address, 43);
}

int Count(const std::vector<std::string>& events, const std::string& what) {
  int n = 0;
  for (const auto& e : events) n += e == what;
  return n;
}

struct LookupTest : testing::Test {
  RecordingSink sink;
  SinkScope scope{&sink};
  void SetUp() override {
    Settings.ResolveDomain = 1;
    Settings.ReverseIP = 1;
  }
};

TEST_F(LookupTest, FiveStepsForADomainWithReferrals) {
  REQUIRE_FAKE_INTERNET();
  Settings.GetAbuseInfo = 1;
  auto registry = Whois("127.0.0.2", {ReplyWith("Domain Name: EXAMPLE.COM\r\n"
                                                "   Registrar WHOIS Server: whois.registrar.test\r\n")});
  auto registrar = Whois("127.0.0.7", {ReplyWith("Registrant Email: owner@example.com\r\n")});
  auto arin = Whois("127.0.0.3", {ReplyWith("NetRange: 127.0.0.0 - 127.255.255.255\n"
                                            "ReferralServer: whois://whois.ripe.net\n")});
  auto ripe = Whois("127.0.0.6", {ReplyWith("inetnum: 127.0.0.0 - 127.255.255.255\n")});
  auto abuse = Whois("127.0.0.4", {ReplyWith("abuse@example.com (for example.com)\n")});
  sink.SetQuery("  www.example.com  ");

  EXPECT_EQ(RunLookup(), 5);
  for (auto* s : {registry.get(), registrar.get(), arin.get(), ripe.get(), abuse.get()}) ASSERT_TRUE(s->WaitDone());
  EXPECT_EQ(registry->Received()[0], "domain = example.com\r\n");
  EXPECT_EQ(registrar->Received()[0], "example.com\r\n");
  EXPECT_EQ(arin->Received()[0], "127.0.0.20\r\n");
  EXPECT_EQ(ripe->Received()[0], "127.0.0.20\r\n");
  EXPECT_EQ(abuse->Received()[0], "example.com\r\n");

  const std::vector<std::string> expected = {
      "lock", "title:Host: www.example.com - merrowgate", "share:www.example.com", "unlock", "select", "saveas"};
  EXPECT_EQ(sink.Events(), expected);
  const std::string text = sink.Text();
  EXPECT_NE(text.find("Domain:\texample.com\n"), std::string::npos);
  EXPECT_NE(text.find("\nQuerying whois.registrar.test:43...\n"), std::string::npos);
  EXPECT_NE(text.find("\nQuerying whois.ripe.net:43...\n"), std::string::npos);
  EXPECT_EQ(sink.TextOf(MailLink), "mailto:owner@example.com\r\nmailto:abuse@example.com");
  EXPECT_EQ(sink.Status().back(), std::make_pair(0, std::string("Ready...")));
}

// The address steps and the abuse contact beside the domain steps: each
// server is asked as before, and the pane gets the very pieces, status texts
// and events of the steps run one after another, even when the side steps
// answer first.
TEST_F(LookupTest, ParallelStepsGiveTheSameOutput) {
  REQUIRE_FAKE_INTERNET();
  auto slow = [](const char* reply, int ms) {
    return [reply, ms](LoopbackConnection& c) {
      c.ReadUntil("\r\n");
      c.Pause(ms);
      c.Send(reply);
    };
  };
  std::vector<RecordingSink::Piece> pieces[2];
  std::vector<std::pair<int, std::string>> status[2];
  std::vector<std::string> events[2];
  for (int parallel = 0; parallel < 2; ++parallel) {
    RecordingSink run;
    SinkScope own{&run};
    Settings.ResolveDomain = 1;
    Settings.GetAbuseInfo = 1;
    auto registry = Whois("127.0.0.2", {slow("Domain Name: EXAMPLE.COM\r\n   Registrar WHOIS Server: "
                                             "whois.registrar.test\r\n",
                                             50)});
    auto registrar = Whois("127.0.0.7", {slow("Registrant Email: owner@example.com\r\n", 150)});
    auto arin = Whois("127.0.0.3",
                      {slow("NetRange: 127.0.0.0 - 127.255.255.255\nReferralServer: whois://whois.ripe.net\n", 150)});
    auto ripe = Whois("127.0.0.6", {slow("inetnum: 127.0.0.0 - 127.255.255.255\n", 100)});
    auto abuse = Whois("127.0.0.4", {slow("abuse@example.com (for example.com)\n", 20)});
    run.SetQuery("www.example.com");
    LookupOptions options;
    options.ParallelSteps = parallel == 1;
    const auto start = Clock::now();
    EXPECT_EQ(RunLookup(options), 5);
    const auto took = Clock::now() - start;
    for (auto* server : {registry.get(), registrar.get(), arin.get(), ripe.get(), abuse.get()})
      ASSERT_TRUE(server->WaitDone());
    EXPECT_EQ(abuse->Received()[0], "example.com\r\n");
    // One after another they take 470 ms; side by side the address steps' 250.
    if (parallel) {
      EXPECT_LT(took, std::chrono::milliseconds(420));
    }
    pieces[parallel] = run.Pieces();
    status[parallel] = run.Status();
    events[parallel] = run.Events();
  }
  ASSERT_EQ(pieces[0].size(), pieces[1].size());
  for (size_t i = 0; i < pieces[0].size(); ++i) {
    EXPECT_EQ(pieces[0][i].Kind, pieces[1][i].Kind) << i;
    EXPECT_EQ(pieces[0][i].Text, pieces[1][i].Text) << i;
  }
  EXPECT_EQ(status[0], status[1]);
  EXPECT_EQ(events[0], events[1]);
}

TEST_F(LookupTest, DomainWithoutReferralIsOneExchange) {
  REQUIRE_FAKE_INTERNET();
  Settings.ResolveDomain = 0;
  Settings.GetAbuseInfo = 1;  // no referral, so no abuse query either
  auto registry = Whois("127.0.0.8", {ReplyWith("Domain Name: EXAMPLE.ORG\r\n")});
  sink.SetQuery("example.org");
  EXPECT_EQ(RunLookup(), 1);
  EXPECT_EQ(Count(sink.Events(), "saveas"), 0);
  EXPECT_EQ(registry->Accepted(), 1);
}

TEST_F(LookupTest, AddressWithoutReverseAsksTheRegistries) {
  REQUIRE_FAKE_INTERNET();
  Settings.ReverseIP = 0;
  Settings.GetAbuseInfo = 1;
  auto arin = Whois("127.0.0.3", {ReplyWith("ReferralServer: whois://whois.ripe.net:43\n")});
  auto ripe = Whois("127.0.0.6", {ReplyWith("inetnum: 192.0.2.0 - 192.0.2.255\n")});
  sink.SetQuery("3221225985");  // 192.0.2.1 packed
  EXPECT_EQ(RunLookup(), 2);
  ASSERT_TRUE(ripe->WaitDone());
  EXPECT_EQ(ripe->Received()[0], "192.0.2.1\r\n");
  const auto events = sink.Events();
  EXPECT_EQ(events[1], "title:IP: 192.0.2.1 - merrowgate");
  EXPECT_EQ(events[2], "share:192.0.2.1");
  EXPECT_EQ(Count(events, "saveas"), 1);
  EXPECT_EQ(sink.Text().find("Domain:"), std::string::npos);
}

TEST_F(LookupTest, ReverseNameRunsTheDomainStepsFirst) {
  REQUIRE_FAKE_INTERNET();
  auto registry = Whois("127.0.0.2", {ReplyWith("Domain Name: REVERSE.EXAMPLE.NET\r\n")});
  auto arin = Whois("127.0.0.3", {ReplyWith("NetRange: 127.0.0.0 - 127.255.255.255\n")});
  sink.SetQuery("127.0.0.30");
  EXPECT_EQ(RunLookup(), 2);
  ASSERT_TRUE(registry->WaitDone());
  EXPECT_EQ(registry->Received()[0], "domain = reverse.example.net\r\n");
  const std::string text = sink.Text();
  EXPECT_LT(text.find("whois.verisign-grs.com"), text.find("whois.arin.net"));
  EXPECT_EQ(sink.Events()[1], "title:IP: 127.0.0.30 - merrowgate");
}

TEST_F(LookupTest, UnreachableRegistryFallsThroughToTheAddressStep) {
  REQUIRE_FAKE_INTERNET();
  Settings.GetAbuseInfo = 1;
  // Nothing listens on 127.0.0.2:43.
  auto arin = Whois("127.0.0.3", {ReplyWith("no referral\n")});
  sink.SetQuery("example.com");
  EXPECT_EQ(RunLookup(), 1);
  EXPECT_NE(sink.TextOf(Error).find("Cannot connect socket\n"), std::string::npos);
  EXPECT_EQ(Count(sink.Events(), "saveas"), 1);  // it had an address
}

TEST_F(LookupTest, NothingToDoForBadInput) {
  for (const char* q : {"", "  ", "0", "255.255.255.255"}) {
    RecordingSink local(q);
    SinkScope s(&local);
    EXPECT_EQ(RunLookup(), 0) << q;
    const std::vector<std::string> expected = {"lock", "unlock"};
    EXPECT_EQ(local.Events(), expected) << q;
    EXPECT_TRUE(local.Status().empty() || local.Status().back().second != "Ready...") << q;
  }
}

// The worker thread itself: wake, collapse of repeated requests, cancel, quit.
struct WorkerTest : LookupTest {
  void TearDown() override {
    RequestQuit();
    StopLookupWorker();
  }
  bool WaitFor(const std::function<bool()>& done, int ms) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
    while (!done()) {
      if (Clock::now() > deadline) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
  }
  int Lookups() { return Count(sink.Events(), "select"); }
};

TEST_F(WorkerTest, EscapeDuringASilentReplyAbortsTheSequence) {
  REQUIRE_FAKE_INTERNET();
  Settings.ResolveDomain = 0;
  auto registry = Whois("127.0.0.2", {[](LoopbackConnection& c) {
                          c.ReadUntil("\r\n");
                          c.Send("partial\n");
                          c.ReadAvailable(3000);
                        }});
  StartLookupWorker();
  sink.SetQuery("example.com");
  RequestLookup();
  ASSERT_TRUE(WaitFor([&] { return sink.Text().find("partial") != std::string::npos; }, 3000));
  const auto pressed = Clock::now();
  RequestAbort();
  ASSERT_TRUE(WaitFor([&] { return Lookups() == 1; }, 2500));
  EXPECT_LT(Clock::now() - pressed, std::chrono::milliseconds(1600));
  EXPECT_EQ(sink.TextOf(Error), "< Aborted by user >\n");
  EXPECT_EQ(sink.Status().back().second, "Ready...");
}

// With Prefer RDAP, a silent RDAP server: Escape ends the request within
// about a second, as it ends a silent whois reply.
TEST_F(WorkerTest, EscapeDuringASilentRdapRequestEndsIt) {
  REQUIRE_FAKE_INTERNET();
  LoopbackServer silent({[](LoopbackConnection& c) { c.Pause(3000); }});
  const auto folder = std::filesystem::temp_directory_path() / "merrowgate-worker-rdap";
  std::filesystem::create_directories(folder);
  SetRdapCacheFolder(folder.string());
  const std::string fresh = R"({"publication":"2099-01-01T00:00:00Z","services":[[["test","1.0.0.0/8","::/0","1-9"],)"
                            R"(["https://127.0.0.1:)" +
                            std::to_string(silent.Port()) + R"(/"]]]})";
  for (int r = 0; r < RdapRegistryCount; ++r) WriteFile(RdapCachePath(static_cast<RdapRegistry>(r)), fresh);
  ResetRdapBootstrap();
  ResetRdapRefresh();
  Settings.ResolveDomain = 0;
  Settings.PreferRDAP = 1;
  StartLookupWorker();
  sink.SetQuery("example.test");
  RequestLookup();
  ASSERT_TRUE(WaitFor([&] { return silent.Accepted() == 1; }, 3000));
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  const auto pressed = Clock::now();
  RequestAbort();
  ASSERT_TRUE(WaitFor([&] { return Lookups() == 1; }, 2500));
  EXPECT_LT(Clock::now() - pressed, std::chrono::milliseconds(1600));
  const std::string errors = sink.TextOf(Error);
  EXPECT_EQ(errors.substr(errors.size() - 20), "< Aborted by user >\n");
  EXPECT_NE(sink.Text().find("Querying https://127.0.0.1:"), std::string::npos);
  std::filesystem::remove_all(folder);
  SetRdapCacheFolder({});
  ResetRdapBootstrap();
}

TEST_F(WorkerTest, RequestsDuringALookupCollapseIntoOneMore) {
  REQUIRE_FAKE_INTERNET();
  Settings.ResolveDomain = 0;
  auto slowReply = [](LoopbackConnection& c) {
    c.ReadUntil("\r\n");
    c.Pause(300);
    c.Send("done\n");
  };
  auto registry = Whois("127.0.0.8", {slowReply, slowReply, slowReply});
  StartLookupWorker();
  sink.SetQuery("example.org");
  RequestLookup();
  ASSERT_TRUE(WaitFor([&] { return registry->Accepted() == 1; }, 3000));
  RequestLookup();
  RequestLookup();
  ASSERT_TRUE(WaitFor([&] { return Lookups() == 2; }, 4000));
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  EXPECT_EQ(Lookups(), 2);
  EXPECT_EQ(registry->Accepted(), 2);
}

TEST_F(WorkerTest, QuitDuringASilentReplyEndsPromptly) {
  REQUIRE_FAKE_INTERNET();
  Settings.ResolveDomain = 0;
  auto registry = Whois("127.0.0.2", {[](LoopbackConnection& c) {
                          c.ReadUntil("\r\n");
                          c.ReadAvailable(4000);
                        }});
  StartLookupWorker();
  sink.SetQuery("silent.example.com");
  RequestLookup();
  ASSERT_TRUE(WaitFor([&] { return registry->Accepted() == 1; }, 3000));
  const auto start = Clock::now();
  RequestQuit();
  EXPECT_EQ(StopLookupWorker(), 1);
  EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(1600));
}

TEST_F(WorkerTest, EmptyQueryPrintsNothingAndUnlocks) {
  StartLookupWorker();
  sink.AppendOutput(Plain, "earlier output");
  sink.SetQuery("   ");
  RequestLookup();
  ASSERT_TRUE(WaitFor([&] { return Count(sink.Events(), "unlock") == 1; }, 2000));
  EXPECT_EQ(sink.Text(), "earlier output");
  EXPECT_EQ(sink.Clears(), 0);
}

}  // namespace
