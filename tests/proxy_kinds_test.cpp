// What every kind of proxy tunnel shares: refusals before anything is sent,
// waits that yield to Escape and end in time, and one copy of the proxy
// options for the whole exchange.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "net/stream.h"
#include "settings/settings.h"
#include "tests/support/loopback_server.h"
#include "tests/support/proxy_peer.h"
#include "tests/support/recording_sink.h"

namespace {

using Clock = std::chrono::steady_clock;

const char Host[] = "whois.example.invalid";

double SecondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

TEST(ProxyKinds, RefusedBeforeSending) {
  const std::string unresolved = std::string("Can not resolve host '") + Host + "'\n";
  struct Case {
    int type, resolve;
    std::string server, error;
  } cases[] = {
      {Socks4, 0, Host, unresolved},
      {Socks5, 0, Host, unresolved},
      {Socks4, 1, std::string(256, 'h'), "Host name too long for the proxy!\n"},
      {Socks5, 1, std::string(256, 'h'), "Host name too long for the proxy!\n"},
      {HTTP, 0, std::string(1000, 'h'), "Host name too long for the proxy!\n"},
  };
  for (const Case& c : cases) {
    RecordingSink sink;
    SinkScope scope(&sink);
    LoopbackServer proxy({[](LoopbackConnection& conn) { conn.ReadAvailable(200); }});
    UseProxy(proxy, c.type);
    Settings.Resolve = c.resolve;
    std::string reply;
    EXPECT_FALSE(Exchange(c.server, reply)) << c.type;
    EXPECT_EQ(sink.TextOf(Error), c.error) << c.type;
    ASSERT_TRUE(proxy.WaitDone());
    EXPECT_EQ(proxy.Received()[0], "") << c.type;
  }
}

// A proxy that answers a byte every half second: what it sends for each
// request of the handshake, the last answer trickled.
struct Trickle {
  int type;
  std::vector<std::string> answers;
};

LoopbackServer::Script Trickling(const Trickle& t, const std::atomic<bool>& stop) {
  return [t, &stop](LoopbackConnection& c) {
    for (size_t i = 0; i < t.answers.size() && !stop; ++i) {
      c.ReadAvailable(150);  // the request, up to the client's pause
      if (i + 1 < t.answers.size()) {
        c.Send(t.answers[i]);
        continue;
      }
      for (char byte : t.answers[i]) {
        for (int waited = 0; waited < 500 && !stop; waited += 10) c.Pause(10);
        if (stop || !c.Send(std::string(1, byte))) return;
      }
    }
  };
}

const Trickle Trickles[] = {
    {HTTP, {"HTTP/1.1 200 Connection established\r\nVia: slow\r\n\r\n"}},
    {Socks4, {Bytes({0, 90, 0, 43, 127, 0, 0, 1})}},
    {Socks5, {Bytes({5, 0}), Bytes({5, 0, 0, 3, 255}) + std::string(255, 'h') + Bytes({0, 43})}},
};

// Escape is seen within about a second although bytes keep coming.
TEST(ProxyKinds, TricklingProxyYieldsToCancel) {
  for (const Trickle& t : Trickles) {
    RecordingSink sink;
    SinkScope scope(&sink);
    std::atomic<bool> stop{false};
    LoopbackServer proxy({Trickling(t, stop)});
    UseProxy(proxy, t.type);
    Settings.Resolve = 1;  // no name lookup for the whois server
    std::thread cancel([] {
      std::this_thread::sleep_for(std::chrono::milliseconds(400));
      CancelFlag = 1;
    });
    const auto start = Clock::now();
    std::string reply;
    EXPECT_FALSE(Exchange(Host, reply)) << t.type;
    const double seconds = SecondsSince(start);
    stop = true;
    cancel.join();
    EXPECT_LT(seconds, 1.9) << t.type;
    EXPECT_EQ(sink.TextOf(Error), "< Aborted by user >\n") << t.type;
    EXPECT_EQ(LastConnectOutcome(), ConnectOutcome::Cancelled) << t.type;
  }
}

// Without a cancel the handshake ends after its 30 seconds, with a message.
TEST(ProxyKinds, TricklingProxyIsGivenUpInTime) {
  RecordingSink sink;
  SinkScope scope(&sink);
  std::atomic<bool> stop{false};
  // Longer than the limit: 36 s of header at two bytes a second.
  const Trickle slow{HTTP, {"HTTP/1.1 200 OK\r\n" + std::string(60, 'x') + "\r\n\r\n"}};
  LoopbackServer proxy({Trickling(slow, stop)});
  UseProxy(proxy, HTTP);
  const auto start = Clock::now();
  std::string reply;
  EXPECT_FALSE(Exchange(Host, reply));
  const double seconds = SecondsSince(start);
  stop = true;
  EXPECT_GE(seconds, ProxyHandshakeSeconds - 0.5);
  EXPECT_LT(seconds, ProxyHandshakeSeconds + 3.0);
  EXPECT_EQ(sink.TextOf(Error), "No complete reply from proxy within 30 seconds!\n");
  EXPECT_EQ(LastConnectOutcome(), ConnectOutcome::ProxyFailed);
}

// The proxy dialog may store new options while a handshake runs: the
// exchange goes on with the options it started with.
TEST(ProxyKinds, OptionsStoredDuringAHandshakeWaitForTheNextExchange) {
  RecordingSink sink;
  SinkScope scope(&sink);
  const std::string auth = Bytes({1, 5}) + "alice" + Bytes({6}) + "secret";
  const std::string bound = Bytes({5, 0, 0, 1, 127, 0, 0, 1, 0, 43});
  LoopbackServer proxy({[&](LoopbackConnection& c) {
    c.Read(4);  // the greeting offers user name and password
    {
      std::lock_guard<std::mutex> lock(ProxyOptionsLock);
      Settings.UseAuth = 0;
      Settings.Debug = 1;
      CopyText(Settings.Login, ProxyTextCapacity, "mallory");
      CopyText(Settings.Pass, ProxyTextCapacity, "other");
    }
    c.Send(Bytes({5, 2}));
    c.Read(auth.size());
    c.Send(Bytes({1, 0}));
    c.Read(10);
    c.Send(bound);
    c.ReadUntil("\r\n");
    c.Send("whois reply\r\n");
  }});
  UseProxy(proxy, Socks5);
  Settings.UseAuth = 1;
  CopyText(Settings.Login, ProxyTextCapacity, "alice");
  CopyText(Settings.Pass, ProxyTextCapacity, "secret");
  std::string reply;
  EXPECT_TRUE(Exchange("192.0.2.7", reply));
  EXPECT_EQ(reply, "whois reply\r\n");
  ASSERT_TRUE(proxy.WaitDone());
  EXPECT_EQ(proxy.Received()[0].substr(4, auth.size()), auth);
  EXPECT_EQ(sink.TextOf(Detail), "\nQuerying 192.0.2.7:43...\n");  // no dumps: Debug was off
}

}  // namespace
