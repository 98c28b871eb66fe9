// Batches: the query list, the order of the outputs whatever the timing, the
// bound on outputs held back, the per-server limit and the pauses; the
// command line of a batch.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "cli/batch.h"
#include "cli/cli_options.h"
#include "engine/server_gate.h"

namespace {

std::vector<std::string> Feed(std::vector<std::string> args, const std::string& list) {
  std::FILE* file = list.empty() ? nullptr : std::tmpfile();
  if (file) {
    std::fputs(list.c_str(), file);
    std::rewind(file);
  }
  QueryFeed feed(std::move(args), file);
  std::vector<std::string> queries;
  for (std::string q; feed.Next(q);) queries.push_back(q);
  if (file) std::fclose(file);
  return queries;
}

TEST(QueryFeed, ArgumentsThenTheListsLines) {
  using V = std::vector<std::string>;
  EXPECT_EQ(Feed({"a.test", "b.test"}, ""), (V{"a.test", "b.test"}));
  EXPECT_EQ(Feed({"a.test"}, "b.test\n\n# a comment\n   # indented comment\n  c.test \r\n\t\r\nd.test"),
            (V{"a.test", "b.test", "c.test", "d.test"}));
  EXPECT_EQ(Feed({}, "\n\n#\n"), V{});
  // A line longer than the read buffer stays one query.
  const std::string longName(3000, 'x');
  EXPECT_EQ(Feed({}, longName + "\nend.test\n"), (V{longName, "end.test"}));
}

// Each query sleeps a time of its own; the outputs still come in order, and
// never more than the window wait to be written.
TEST(RunBatch, OrderNeverDependsOnTiming) {
  for (int jobs : {1, 3, 8}) {
    std::vector<std::string> queries;
    for (int i = 0; i < 40; ++i) queries.push_back(std::to_string(i));
    QueryFeed feed(queries, nullptr);
    JobSlots slots(jobs);
    std::atomic<int> stop{0}, running{0}, peakRunning{0};
    std::vector<std::string> written;
    std::mutex lock;
    const size_t window = 6;
    size_t started = 0, peakAhead = 0;
    RunBatch(
        feed, jobs * 2, slots, BatchWindow{window, 1u << 20},
        [&](const std::string& q) {
          {
            std::lock_guard<std::mutex> hold(lock);
            ++started;
            peakAhead = std::max(peakAhead, started - written.size());
          }
          const int now = ++running;
          for (int peak = peakRunning; now > peak && !peakRunning.compare_exchange_weak(peak, now);) {
          }
          // Early queries are the slow ones.
          std::this_thread::sleep_for(std::chrono::milliseconds((40 - std::stoi(q)) % 7));
          --running;
          QueryOutcome o;
          o.Output = q;
          return o;
        },
        [&](const std::string& q, QueryOutcome& o) {
          std::lock_guard<std::mutex> hold(lock);
          EXPECT_EQ(q, o.Output);
          written.push_back(o.Output);
        },
        stop);
    EXPECT_EQ(written, queries) << jobs << " jobs";
    EXPECT_LE(peakRunning.load(), jobs);
    EXPECT_LE(peakAhead, window);
  }
}

// The first query is slow: the others go on meanwhile while their outcomes
// fit the byte budget, and stop when they fill it.
TEST(RunBatch, ByteBudgetBoundsWhatWaits) {
  const int threads = 4;
  const struct {
    size_t bytes;
    int mostStartedMeanwhile;
  } cases[] = {{1u << 20, 39}, {250, 3 + threads}};
  for (const auto& c : cases) {
    std::vector<std::string> queries;
    for (int i = 0; i < 40; ++i) queries.push_back(std::to_string(i));
    QueryFeed feed(queries, nullptr);
    JobSlots slots(threads);
    std::atomic<int> stop{0}, startedMeanwhile{0};
    std::atomic<bool> firstDone{false};
    size_t written = 0;
    RunBatch(
        feed, threads, slots, BatchWindow{1000, c.bytes},
        [&](const std::string& q) {
          if (q == "0") {
            // Long enough for every other query to be started if allowed.
            for (int i = 0; i < 200 && startedMeanwhile < 39; ++i)
              std::this_thread::sleep_for(std::chrono::milliseconds(2));
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            firstDone = true;
          } else if (!firstDone) {
            ++startedMeanwhile;
          }
          QueryOutcome o;
          o.Output.assign(100, 'x');
          return o;
        },
        [&](const std::string&, QueryOutcome&) { ++written; }, stop);
    EXPECT_EQ(written, 40u);
    if (c.mostStartedMeanwhile == 39) EXPECT_EQ(startedMeanwhile.load(), 39);
    else EXPECT_LE(startedMeanwhile.load(), c.mostStartedMeanwhile);
  }
}

TEST(RunBatch, NoQueryStartsOnceStopped) {
  QueryFeed feed({"1", "2", "3", "4", "5", "6"}, nullptr);
  std::atomic<int> stop{0};
  int ran = 0, written = 0;
  JobSlots slots(1);
  RunBatch(
      feed, 1, slots, BatchWindow{4, 1u << 20},
      [&](const std::string&) {
        if (++ran == 2) stop = 1;
        return QueryOutcome{};
      },
      [&](const std::string&, QueryOutcome&) { ++written; }, stop);
  EXPECT_EQ(ran, 2);
  EXPECT_EQ(written, 2);  // what ran is written all the same
}

TEST(ServerGate, ConnectionsPerServer) {
  ServerGate gate(2);
  std::atomic<int> cancel{0}, quit{0};
  const StopFlags stop{&cancel, &quit};
  std::vector<std::thread> threads;
  for (int i = 0; i < 8; ++i)
    threads.emplace_back([&, i] {
      GatePass pass(&gate, i % 2 ? "whois.a.test" : "WHOIS.B.TEST", stop, false);
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    });
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(gate.PeakConnections("whois.a.test"), 2);
  EXPECT_EQ(gate.PeakConnections("whois.b.test"), 2);  // names in any case are one server
}

TEST(ServerGate, PausesDoubleAndAreShared) {
  const int doubling[] = {2, 4, 8, 16, 32, 60, 60};
  for (int notices = 0; notices < 7; ++notices) EXPECT_EQ(PauseSeconds(notices, -1), doubling[notices]);
  EXPECT_EQ(PauseSeconds(3, 5), 5);  // a Retry-After stands, within the bound
  EXPECT_EQ(PauseSeconds(0, 0), 0);
  EXPECT_EQ(PauseSeconds(0, 3600), LongestPauseSeconds);

  ServerGate gate(1);
  EXPECT_EQ(gate.Pause("whois.slow.test", -1), 2);
  // The notices of the exchanges under way when the first came are one notice.
  EXPECT_LE(gate.Pause("WHOIS.slow.test", -1), 2);
  EXPECT_EQ(gate.Pause("other.test", -1), 2);
}

TEST(ServerGate, WaitsForThePauseOrTheStop) {
  ServerGate gate(4);
  std::atomic<int> cancel{0}, quit{0};
  const StopFlags stop{&cancel, &quit};
  gate.Pause("whois.test", 1);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_TRUE(gate.Enter("whois.test", stop));
  const auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_GE(waited, std::chrono::milliseconds(900));
  gate.Leave("whois.test");
  gate.Pause("whois.test", 30);
  std::thread canceller([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    cancel = 1;
  });
  EXPECT_FALSE(gate.Enter("whois.test", stop));
  canceller.join();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
}

// An exchange asked again goes before the ones that have not been asked.
TEST(ServerGate, RetriesGoFirst) {
  ServerGate gate(1);
  std::atomic<int> cancel{0}, quit{0};
  const StopFlags stop{&cancel, &quit};
  ASSERT_TRUE(gate.Enter("w.test", stop));
  std::vector<std::string> order;
  std::mutex lock;
  auto waiter = [&](bool retry, const char* name) {
    return std::thread([&, retry, name] {
      ASSERT_TRUE(gate.Enter("w.test", stop, retry));
      {
        std::lock_guard<std::mutex> hold(lock);
        order.push_back(name);
      }
      gate.Leave("w.test");
    });
  };
  std::thread fresh = waiter(false, "fresh");
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  std::thread again = waiter(true, "retry");
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  gate.Leave("w.test");
  fresh.join();
  again.join();
  EXPECT_EQ(order, (std::vector<std::string>{"retry", "fresh"}));
}

// Command lines of batches: how the words become queries, and the checks.
TEST(CommandLine, QueriesAndBatchOptions) {
  struct Case {
    std::vector<const char*> args;
    int status;  // -1: a lookup runs
    std::vector<std::string> queries;
    std::string host;
  } cases[] = {
      {{"a.test", "b.test"}, -1, {"a.test", "b.test"}, ""},
      {{"-h", "whois.test", "-B", "--", "-T", "a.test"}, 2, {}, ""},  // -B is no option of ours
      {{"-h", "whois.test", "--", "-T", "domain", "a.test"}, -1, {"-T domain a.test"}, "whois.test"},
      {{"-f", "list", "-j", "16", "--per-server", "1"}, -1, {}, ""},
      {{"--json", "-q", "a.test"}, 2, {}, ""},
      {{"-j", "0", "a.test"}, 2, {}, ""},
      {{"-j", "65", "a.test"}, 2, {}, ""},
      {{"--per-server", "0", "a.test"}, 2, {}, ""},
      {{"--expires-within", "-1", "a.test"}, 2, {}, ""},
      {{"a.test", "http://"}, 2, {}, ""},
      {{"-f"}, 2, {}, ""},
      // Servers written with IPv6 addresses.
      {{"-h", "[2001:db8::1]:4343", "a.test"}, -1, {"a.test"}, "[2001:db8::1]:4343"},
      {{"-h", "2001:db8::1", "a.test"}, -1, {"a.test"}, "2001:db8::1"},
      {{"-h", "2001:db8::1", "-p", "4343", "a.test"}, -1, {"a.test"}, "[2001:db8::1]:4343"},
      {{"-h", "[2001:db8::1]", "-p", "4343", "a.test"}, -1, {"a.test"}, "[2001:db8::1]:4343"},
      {{"-h", "[2001:db8::1]:4343", "-p", "43", "a.test"}, 2, {}, ""},
      {{"-h", "[2001:db8::1]4343", "a.test"}, 2, {}, ""},
      {{"-h", "whois.test:99999", "a.test"}, 2, {}, ""},
  };
  for (const Case& c : cases) {
    std::vector<char*> argv{const_cast<char*>("merrowgate-cli")};
    for (const char* a : c.args) argv.push_back(const_cast<char*>(a));
    CliOptions o;
    int status = 0;
    const bool runs = ParseCommandLine(static_cast<int>(argv.size()), argv.data(), o, status);
    const std::string line = ::testing::PrintToString(c.args);
    EXPECT_EQ(runs ? -1 : status, c.status) << line;
    if (runs) {
      EXPECT_EQ(o.Queries, c.queries) << line;
      EXPECT_EQ(o.Host, c.host) << line;
    }
  }
}

}  // namespace

// A Retry-After of 0 lets the exchange be asked again at once, every time.
TEST(ServerGate, RetryAfterZero) {
  ServerGate gate(2);
  std::atomic<int> cancel{0}, quit{0};
  const StopFlags stop{&cancel, &quit};
  const auto start = std::chrono::steady_clock::now();
  for (int attempt = 0; attempt < 4; ++attempt) {
    ASSERT_TRUE(gate.Enter("rdap.test", stop, attempt > 0));
    gate.Leave("rdap.test");
    EXPECT_EQ(gate.Pause("rdap.test", 0), 0);
  }
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
}
