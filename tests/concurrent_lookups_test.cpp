// Lookups on several threads of one process, each with a context of its own:
// its sink, stop flags, options and proxy. Each sink must get exactly what its
// lookup gives alone; a cancel stops only its own lookup.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "engine/lookup.h"
#include "engine/lookup_context.h"
#include "tests/support/loopback_server.h"
#include "tests/support/recording_sink.h"

namespace {

// A reply in pieces a little apart, so that two lookups interleave; Latin-1
// bytes, e-mail words and a referral to nowhere on the way.
LoopbackServer::Script SlowReply(const std::string& tag) {
  return [tag](LoopbackConnection& c) {
    c.ReadUntil("\r\n");
    for (int i = 0; i < 5; ++i) {
      c.Send(tag + " line " + std::to_string(i) + " M\xfcller abuse@" + tag + ".example\r\n");
      c.Pause(15);
    }
  };
}

// An HTTP CONNECT proxy that is itself the whois server behind it.
LoopbackServer::Script ProxyThenReply(const std::string& tag) {
  return [tag](LoopbackConnection& c) {
    c.ReadUntil("\r\n\r\n");
    c.Send("HTTP/1.0 200 Connection established\r\n\r\n");
    SlowReply(tag)(c);
  };
}

struct LookupRun {
  RecordingSink sink;
  std::atomic<int> cancel{0}, quit{0};
  LookupSettings options;
  std::string server;
  int exchanges = -1;

  LookupRun(const char* query, std::string whois) : sink(query), server(std::move(whois)) {}
  void Go() {
    LookupContext context(sink, StopFlags{&cancel, &quit}, options);
    LookupOptions lookup;
    lookup.Server = server.c_str();
    exchanges = RunLookup(context, lookup);
  }
};

bool SamePieces(const std::vector<RecordingSink::Piece>& a, const std::vector<RecordingSink::Piece>& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (a[i].Kind != b[i].Kind || a[i].Text != b[i].Text) return false;
  return true;
}

TEST(ConcurrentLookups, EachSinkGetsWhatItsLookupAloneGives) {
  constexpr int Rounds = 3;
  std::vector<LoopbackServer::Script> direct(Rounds + 1, SlowReply("alpha"));
  std::vector<LoopbackServer::Script> proxied(Rounds + 1, ProxyThenReply("beta"));
  LoopbackServer serverA(direct);
  LoopbackServer proxyB(proxied);

  auto setUp = [&](LookupRun& a, LookupRun& b) {
    a.options.IdleTimeout = 5;
    b.options.IdleTimeout = 7;
    b.options.Proxy.Enabled = true;
    b.options.Proxy.Type = HTTP;
    b.options.Proxy.Debug = true;  // the dumps belong to this lookup alone
    CopyText(b.options.Proxy.Server, ProxyTextCapacity, "127.0.0.1");
    b.options.Proxy.Port = proxyB.Port();
  };
  LookupRun aloneA("alpha.example", serverA.ServerText()), aloneB("beta.example", "whois.beta.example:43");
  setUp(aloneA, aloneB);
  aloneA.Go();
  aloneB.Go();
  ASSERT_EQ(aloneA.exchanges, 1);
  ASSERT_EQ(aloneB.exchanges, 1);
  EXPECT_NE(aloneA.sink.Text().find("M\xc3\xbcller"), std::string::npos);  // decoded from Latin-1
  EXPECT_NE(aloneB.sink.Text().find("HTTP Proxy Request"), std::string::npos);
  EXPECT_EQ(aloneA.sink.Text().find("HTTP Proxy"), std::string::npos);

  for (int round = 0; round < Rounds; ++round) {
    LookupRun a("alpha.example", serverA.ServerText()), b("beta.example", "whois.beta.example:43");
    setUp(a, b);
    std::thread ta([&] { a.Go(); }), tb([&] { b.Go(); });
    ta.join();
    tb.join();
    EXPECT_EQ(a.exchanges, 1);
    EXPECT_EQ(b.exchanges, 1);
    EXPECT_TRUE(SamePieces(a.sink.Pieces(), aloneA.sink.Pieces())) << a.sink.Text();
    EXPECT_TRUE(SamePieces(b.sink.Pieces(), aloneB.sink.Pieces())) << b.sink.Text();
    EXPECT_EQ(a.sink.Status(), aloneA.sink.Status());
  }
}

TEST(ConcurrentLookups, ACancelStopsOnlyItsOwnLookup) {
  // A server that says nothing: only the cancel ends its lookup.
  LoopbackServer silent({[](LoopbackConnection& c) { c.ReadAvailable(2500); }});
  LoopbackServer talking({SlowReply("gamma")});
  LookupRun waiting("silent.example", silent.ServerText()), answered("gamma.example", talking.ServerText());
  std::thread tw([&] { waiting.Go(); });
  std::thread ta([&] { answered.Go(); });
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  waiting.cancel = 1;
  ta.join();
  tw.join();
  EXPECT_NE(waiting.sink.TextOf(Error).find("< Aborted by user >"), std::string::npos);
  EXPECT_EQ(answered.sink.TextOf(Error), "");
  EXPECT_NE(answered.sink.Text().find("gamma line 4"), std::string::npos);
}

}  // namespace
