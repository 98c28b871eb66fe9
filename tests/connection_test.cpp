// The connection and reply stream against scripted servers on loopback.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "net/connection.h"
#include "settings/settings.h"
#include "tests/support/exchange.h"
#include "tests/support/loopback_server.h"
#include "tests/support/recording_sink.h"

namespace {

struct ConnectionTest : testing::Test {
  RecordingSink sink;
  SinkScope scope{&sink};
  std::string reply;
};

TEST(SocketErrorText, Table) {
  struct Case {
    int code;
    const char* text;
  } cases[] = {
      {10004, "The call was canceled"},
      {10022, "invalid winsock version"},
      {10036, "A blocking winsock operation is in progress"},
      {10050, "winsock has detected that the network subsystem has failed"},
      {10051, "The host is unreachable."},
      {10054, "connection closed by remote side"},
      {10060, "Connection timedout."},
      {10061, "Connection refused."},
      {10091, "tcp/ip network not ready"},
      {10092, "wrong winsock version"},
      {10093, "winsock not initialized"},
      {11001, "Authoritative Answer Host not found"},
      {11002, "Non-Authoritative Host not found, or SERVERFAIL"},
      {11003, "Nonrecoverable errors: FORMERR, REFUSED, NOTIMP"},
      {11004, "Valid name, no data record of requested type"},
      {10065, "unknown winsock error"},
      {0, "unknown winsock error"},
      {-1, "unknown winsock error"},
  };
  for (const Case& c : cases) EXPECT_STREQ(SocketErrorText(c.code), c.text) << c.code;
}

TEST_F(ConnectionTest, SendsQueryLineAndStreamsReplyUntilClose) {
  LoopbackServer server({ReplyWith("line one\r\nline two\r\n")});
  int last = -2;
  EXPECT_TRUE(Exchange(server.ServerText(), reply, "example.com", &last));
  EXPECT_EQ(reply, "line one\r\nline two\r\n");
  EXPECT_EQ(last, 0);
  ASSERT_TRUE(server.WaitDone());
  EXPECT_EQ(server.Received()[0], "example.com\r\n");
  const std::string banner = "\nQuerying 127.0.0.1:" + std::to_string(server.Port()) + "...\n";
  EXPECT_EQ(sink.TextOf(Detail), banner);
  EXPECT_EQ(sink.TextOf(Error), "");
  const auto status = sink.Status();
  ASSERT_EQ(status.size(), 3u);
  EXPECT_EQ(status[0].second, "Resolving...");
  EXPECT_EQ(status[1].second, "Connecting...");
  EXPECT_EQ(status[2].second, "Sending Request...");
  EXPECT_EQ(CurrentConnection, platform::InvalidSocket);
}

TEST_F(ConnectionTest, ChunkedAndSlowRepliesArriveWhole) {
  LoopbackServer server({[](LoopbackConnection& c) {
    c.ReadUntil("\r\n");
    for (int i = 0; i < 5; ++i) {
      c.Send("part" + std::to_string(i) + "\n");
      c.Pause(i == 2 ? 1300 : 20);  // one pause longer than a wait period
    }
  }});
  EXPECT_TRUE(Exchange(server.ServerText(), reply));
  EXPECT_EQ(reply, "part0\npart1\npart2\npart3\npart4\n");
  EXPECT_EQ(sink.TextOf(Error), "");
}

TEST_F(ConnectionTest, ResetWhileReceivingEndsTheReplyWithItsCode) {
  LoopbackServer server({ResetAfter("partial")});
  int last = -2;
  EXPECT_TRUE(Exchange(server.ServerText(), reply, "q", &last));
  EXPECT_EQ(reply, "partial");
  // A reset seen before the receive may also read as an orderly close; both end the reply.
  if (last == -1) EXPECT_EQ(sink.TextOf(Error), ">>Error: 10054, connection closed by remote side<<\n");
  else EXPECT_EQ(last, 0);
}

TEST_F(ConnectionTest, CancelDuringSilenceAbortsWithinAboutASecond) {
  LoopbackServer server({[](LoopbackConnection& c) {
    c.ReadUntil("\r\n");
    c.ReadAvailable(2500);  // silent until the client gives up
  }});
  ASSERT_TRUE(ConnectAndSend(server.ServerText().c_str(), "q"));
  std::thread cancel([] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    CancelFlag = 1;
  });
  const auto start = std::chrono::steady_clock::now();
  char buffer[4096];
  EXPECT_EQ(ReceiveReply(buffer, 4000), -1);
  const auto elapsed = std::chrono::steady_clock::now() - start;
  cancel.join();
  EXPECT_LT(elapsed, std::chrono::milliseconds(2000));
  EXPECT_EQ(sink.TextOf(Error), "< Aborted by user >\n");
  EXPECT_EQ(CancelFlag, 1);  // not cleared here
  CloseConnection();
}

TEST_F(ConnectionTest, QuitEndsASilentReplyToo) {
  LoopbackServer server({[](LoopbackConnection& c) {
    c.ReadUntil("\r\n");
    c.ReadAvailable(2500);
  }});
  ASSERT_TRUE(ConnectAndSend(server.ServerText().c_str(), "q"));
  QuitFlag = 1;
  char buffer[4096];
  EXPECT_EQ(ReceiveReply(buffer, 4000), -1);
  CloseConnection();
}

TEST_F(ConnectionTest, ReplyWithZeroBytesIsDeliveredByCount) {
  const std::string sent("abc\0def", 7);
  LoopbackServer server({ReplyWith(sent)});
  EXPECT_TRUE(Exchange(server.ServerText(), reply));
  EXPECT_EQ(reply, sent);
}

TEST_F(ConnectionTest, RefusedConnection) {
  std::uint16_t port;
  {
    LoopbackServer closed({});
    port = closed.Port();
  }
  EXPECT_FALSE(ConnectAndSend(("127.0.0.1:" + std::to_string(port)).c_str(), "q"));
  EXPECT_EQ(sink.TextOf(Error), "Cannot connect socket\n");
  CloseConnection();
  EXPECT_EQ(CurrentConnection, platform::InvalidSocket);
}

TEST_F(ConnectionTest, UnresolvableProxyIsNamedWhileBannerNamesTheServer) {
  Settings.Enabled = 1;
  Settings.Debug = 1;
  CopyText(Settings.Server, ProxyTextCapacity, "no-such-proxy.invalid");
  EXPECT_FALSE(ConnectAndSend("whois.example.net:4321", "q"));
  EXPECT_EQ(sink.TextOf(Detail), "\nQuerying whois.example.net:4321...\n");
  EXPECT_EQ(sink.TextOf(Error),
            "Can not resolve proxy host 'no-such-proxy.invalid' (proxy no-such-proxy.invalid:80)\n");
  EXPECT_EQ(sink.TextOf(Plain), "");  // never got as far as connecting
}

TEST_F(ConnectionTest, UnknownProxyTypeSendsTheQueryToTheProxyItself) {
  LoopbackServer proxy({ReplyWith("from proxy")});
  Settings.Enabled = 1;
  Settings.Type = 3;
  CopyText(Settings.Server, ProxyTextCapacity, "127.0.0.1");
  Settings.Port = proxy.Port();
  EXPECT_TRUE(Exchange("whois.example.net", reply));
  EXPECT_EQ(reply, "from proxy");
  EXPECT_EQ(sink.TextOf(Error), "Proxy Type not supported yet!\n");
  EXPECT_EQ(sink.TextOf(Plain), "");  // "Connecting to proxy" only with Debug
  ASSERT_TRUE(proxy.WaitDone());
  EXPECT_EQ(proxy.Received()[0], "q\r\n");
}

TEST_F(ConnectionTest, ProxyDumpListsBytesOnlyWithDebug) {
  const unsigned char bytes[] = {4, 30, 31, 43, 200};
  BeginProxyHandshake(false);
  ProxyDumpPacket("H\n", bytes, 5);
  EXPECT_EQ(sink.Text(), "");
  BeginProxyHandshake(true);
  ProxyDumpPacket("H\n", bytes, 5);
  EXPECT_EQ(sink.Text(),
            "H\npacket[0] -> 4\npacket[1] -> 30\npacket[2] -> 31 '\x1f'\npacket[3] -> 43 '+'\n"
            "packet[4] -> 200 '\xc8'\n\n===============\n");
  for (const auto& p : sink.Pieces()) EXPECT_EQ(p.Kind, Detail);
}

TEST_F(ConnectionTest, FailingReadinessWaitEndsTheReplyInsteadOfSpinning) {
  // A handle that no wait accepts: the wait fails at once, every time.
  CurrentConnection = 1 << 20;
  char buffer[4096];
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(ReceiveReply(buffer, 4000), -1);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
  EXPECT_EQ(sink.TextOf(Error).rfind(">>Error: ", 0), 0u) << sink.TextOf(Error);
  CurrentConnection = platform::InvalidSocket;
}

TEST_F(ConnectionTest, EscapeEndsTheWaitForASilentProxy) {
  for (int type : {HTTP, Socks4, Socks5}) {
    RecordingSink local;
    SinkScope s(&local);
    LoopbackServer proxy({[](LoopbackConnection& c) { c.ReadAvailable(2500); }});
    Settings.Enabled = 1;
    Settings.Type = type;
    Settings.Resolve = 1;  // no name lookup for the whois server
    CopyText(Settings.Server, ProxyTextCapacity, "127.0.0.1");
    Settings.Port = proxy.Port();
    std::thread cancel([] {
      std::this_thread::sleep_for(std::chrono::milliseconds(300));
      CancelFlag = 1;
    });
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(ConnectAndSend("whois.example.invalid", "q")) << type;
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(2000)) << type;
    cancel.join();
    // The cancel is the only message: no proxy failure is reported after it.
    EXPECT_EQ(local.TextOf(Error), "< Aborted by user >\n") << type;
    CloseConnection();
  }
}

// A server that drops connection attempts: Escape ends the connect within
// about a second, and without it the connect gives up after its 30 seconds.
TEST_F(ConnectionTest, ConnectToADeafServerYieldsToCancelAndGivesUp) {
  DeafListener deaf;
  if (!deaf.Deaf()) GTEST_SKIP() << "the listener's queue could not be filled here";
  struct Case {
    int cancelAfterMs;  // 0: no cancel
    const char* error;
    ConnectOutcome outcome;
    double atLeast, atMost;  // seconds
  } cases[] = {
      {300, "< Aborted by user >\n", ConnectOutcome::Cancelled, 0.2, 1.8},
      {0, "Cannot connect socket\n", ConnectOutcome::ConnectFailed, ConnectSeconds - 0.5, ConnectSeconds + 4.0},
  };
  for (const Case& c : cases) {
    RecordingSink local;
    SinkScope s(&local);
    std::thread cancel([&c] {
      if (!c.cancelAfterMs) return;
      std::this_thread::sleep_for(std::chrono::milliseconds(c.cancelAfterMs));
      CancelFlag = 1;
    });
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(ConnectAndSend(deaf.ServerText().c_str(), "q"));
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    cancel.join();
    EXPECT_GE(seconds, c.atLeast) << c.error;
    EXPECT_LE(seconds, c.atMost) << c.error;
    EXPECT_EQ(local.TextOf(Error), c.error);
    EXPECT_EQ(LastConnectOutcome(), c.outcome);
    CloseConnection();
  }
}

TEST_F(ConnectionTest, FailuresTellWhatFailed) {
  EXPECT_FALSE(ConnectAndSend("no-such-host.invalid", "q"));
  EXPECT_EQ(LastConnectOutcome(), ConnectOutcome::ResolveFailed);
  CloseConnection();
  LoopbackServer server({ReplyWith("x")});
  EXPECT_TRUE(Exchange(server.ServerText(), reply));
  EXPECT_EQ(LastConnectOutcome(), ConnectOutcome::Sent);
}

// The idle limit counts from the last byte: a reply with pauses shorter than
// it comes whole, a silence as long ends the wait with the server's name.
TEST_F(ConnectionTest, IdleLimitEndsOnlyASilentReply) {
  struct Case {
    int idle;
    std::vector<int> pausesMs;  // before each piece
    std::string error;          // %s: the server text
  } cases[] = {
      {2, {0, 600, 600, 600}, ""},
      {1, {0, 3000}, ">>Error: no data from %s for 1 seconds<<\n"},
  };
  for (const Case& c : cases) {
    RecordingSink local;
    SinkScope s(&local);
    Settings.IdleTimeout = c.idle;
    LoopbackServer server({[&c](LoopbackConnection& conn) {
      conn.ReadUntil("\r\n");
      for (int pause : c.pausesMs) {
        conn.ReadAvailable(pause);  // ends early when the client closes
        conn.Send("piece\n");
      }
    }});
    int last = -2;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(Exchange(server.ServerText(), reply, "q", &last));
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::string error = c.error;
    if (!error.empty()) error.replace(error.find("%s"), 2, server.ServerText());
    EXPECT_EQ(local.TextOf(Error), error);
    EXPECT_EQ(last, error.empty() ? 0 : -1);
    if (error.empty()) EXPECT_EQ(reply, "piece\npiece\npiece\npiece\n");
    else EXPECT_LT(seconds, c.idle + 1.8);
  }
}

TEST_F(ConnectionTest, CloseTwiceIsHarmless) {
  EXPECT_TRUE(CloseConnection());
  EXPECT_TRUE(CloseConnection());
  EXPECT_EQ(CurrentConnection, platform::InvalidSocket);
}

}  // namespace
