// The SOCKS5 tunnel against scripted fake proxies on loopback.
#include <gtest/gtest.h>

#include <cstdlib>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "net/connection.h"
#include "net/socks5_tunnel.h"
#include "settings/settings.h"
#include "tests/support/loopback_server.h"
#include "tests/support/proxy_peer.h"
#include "tests/support/recording_sink.h"

namespace {

const char WhoisReply[] = "Domain Name: EXAMPLE.INVALID\r\n";
const char Host[] = "whois.example.invalid";

const std::string Greeting = Bytes({5, 1, 0});
const std::string GreetingWithAuth = Bytes({5, 2, 0, 2});
const std::string Connect = Bytes({5, 1, 0, 1, 192, 0, 2, 7, 0, 43});  // 192.0.2.7:43
const std::string NoAuth = Bytes({5, 0});
const std::string UserPass = Bytes({5, 2});
const std::string AuthOk = Bytes({1, 0});
const std::string Bound = Bytes({5, 0, 0, 1, 127, 0, 0, 1, 0x04, 0x38});

// One round of a fake proxy: it takes `request` bytes, then answers with the
// packets, each sent on its own.
struct Round {
  size_t request;
  std::vector<std::string> answer;
};

// Plays the rounds, then, when `whois` is given, answers the query line. With
// `strict`, like microsocks, bytes that come before the answer to the packet
// before them are dropped and the proxy goes silent.
LoopbackServer::Script Socks5Proxy(std::vector<Round> rounds, std::string whois = {}, bool strict = false,
                                   std::shared_ptr<bool> pipelined = nullptr) {
  return [=](LoopbackConnection& c) {
    for (const Round& r : rounds) {
      c.Read(r.request);
      if (strict && !c.ReadAvailable(100).empty()) {
        *pipelined = true;
        return;
      }
      AnswerInPackets(c, r.answer);
    }
    AnswerInPackets(c, {}, whois);
  };
}

struct Settings5 {
  int useAuth, resolve;
  std::string login, pass;
};

void Apply(const Settings5& s) {
  Settings.UseAuth = s.useAuth;
  Settings.Resolve = s.resolve;
  CopyText(Settings.Login, ProxyTextCapacity, s.login.c_str());
  CopyText(Settings.Pass, ProxyTextCapacity, s.pass.c_str());
}

// Each exchange of packets in order: what the client must send, what the
// proxy answers. The whole conversation is checked byte for byte.
TEST(Socks5Tunnel, HandshakeTable) {
  const std::string host = Host, u127(127, 'u'), p127(127, 'p');
  struct Exchange5 {
    std::string request, answer;
  };
  struct Case {
    Settings5 settings;
    std::string server;
    std::vector<Exchange5> packets;
  } cases[] = {
      {{0, 0, "", ""}, "192.0.2.7", {{Greeting, NoAuth}, {Connect, Bound}}},
      {{1, 0, "alice", "secret"},
       "192.0.2.7",
       {{GreetingWithAuth, UserPass}, {Bytes({1, 5}) + "alice" + Bytes({6}) + "secret", AuthOk}, {Connect, Bound}}},
      // The proxy decides: no authentication although it was offered ...
      {{1, 0, "alice", "secret"}, "192.0.2.7", {{GreetingWithAuth, NoAuth}, {Connect, Bound}}},
      // ... or authentication with empty texts although it was not.
      {{0, 0, "", ""}, "192.0.2.7", {{Greeting, UserPass}, {Bytes({1, 0, 0}), AuthOk}, {Connect, Bound}}},
      {{1, 0, u127, p127},
       "192.0.2.7",
       {{GreetingWithAuth, UserPass}, {Bytes({1, 127}) + u127 + Bytes({127}) + p127, AuthOk}, {Connect, Bound}}},
      {{0, 1, "", ""},
       host + ":4321",
       {{Greeting, NoAuth}, {Bytes({5, 1, 0, 3, 21}) + host + Bytes({0x10, 0xE1}), Bound}}},
      {{0, 1, "", ""},
       std::string(255, 'h'),
       {{Greeting, NoAuth}, {Bytes({5, 1, 0, 3, 255}) + std::string(255, 'h') + Bytes({0, 43}), Bound}}},
  };
  for (const Case& c : cases) {
    RecordingSink sink;
    SinkScope scope(&sink);
    std::vector<Round> rounds;
    std::string expected;
    for (const Exchange5& e : c.packets) {
      rounds.push_back({e.request.size(), {e.answer}});
      expected += e.request;
    }
    LoopbackServer proxy({Socks5Proxy(rounds, WhoisReply)});
    UseProxy(proxy, Socks5);
    Apply(c.settings);
    std::string reply;
    EXPECT_TRUE(Exchange(c.server.c_str(), reply)) << testing::PrintToString(expected);
    EXPECT_EQ(reply, WhoisReply);
    ASSERT_TRUE(proxy.WaitDone());
    EXPECT_EQ(proxy.Received()[0], expected + "q\r\n");
    EXPECT_EQ(sink.TextOf(Error), "");
  }
}

TEST(Socks5Tunnel, MethodAndAuthReplyTable) {
  const std::string auth = Bytes({1, 5}) + "alice" + Bytes({6}) + "secret";
  struct Case {
    std::vector<Round> rounds;
    std::string error;  // empty: the tunnel stands
  } cases[] = {
      {{{4, {NoAuth}}, {10, {Bound}}}, ""},
      {{{4, {Bytes({5}), Bytes({0})}}, {10, {Bound}}}, ""},  // split
      {{{4, {Bytes({0, 0})}}, {10, {Bound}}}, ""},           // version not looked at
      {{{4, {Bytes({5, 255})}}}, "Can not negotiate authentication methods with the SOCKS5 proxy?"},
      {{{4, {Bytes({5})}}}, "Bad response received from proxy server!\n"},
      {{{4, {}}}, "Bad response received from proxy server!\n"},
      {{{4, {UserPass}}, {auth.size(), {AuthOk}}, {10, {Bound}}}, ""},
      {{{4, {UserPass}}, {auth.size(), {Bytes({5, 0})}}, {10, {Bound}}}, ""},  // version not looked at
      {{{4, {UserPass}}, {auth.size(), {Bytes({1}), Bytes({0})}}, {10, {Bound}}}, ""},
      {{{4, {UserPass}}, {auth.size(), {Bytes({1, 1})}}}, "Bad Username/Password!\n"},
      {{{4, {UserPass}}, {auth.size(), {Bytes({1})}}}, "Bad response received from proxy server!\n"},
      {{{4, {UserPass}}, {auth.size(), {}}}, "Bad response received from proxy server!\n"},
  };
  for (const Case& c : cases) {
    const std::string name = testing::PrintToString(c.rounds.back().answer);
    RecordingSink sink;
    SinkScope scope(&sink);
    LoopbackServer proxy({Socks5Proxy(c.rounds, c.error.empty() ? WhoisReply : "")});
    UseProxy(proxy, Socks5);
    Apply({1, 0, "alice", "secret"});
    std::string reply;
    EXPECT_EQ(Exchange("192.0.2.7", reply), c.error.empty()) << name;
    EXPECT_EQ(sink.TextOf(Error), c.error) << name;
    EXPECT_EQ(reply, c.error.empty() ? WhoisReply : "") << name;
  }
}

TEST(Socks5Tunnel, ConnectReplyTable) {
  const std::string tail = Bytes({0, 1, 127, 0, 0, 1, 0, 0});  // reserved, IPv4, address, port
  const std::string ipv6 = Bytes({5, 0, 0, 4}) + std::string(15, '\0') + Bytes({1, 0, 43});
  struct Case {
    std::vector<std::string> packets;
    std::string error;  // empty: the tunnel stands and the whois reply comes whole
  } cases[] = {
      {{Bound}, ""},
      {{Bytes({5, 0, 0}), Bytes({1, 127, 0}), Bytes({0, 1, 0, 43})}, ""},
      {{Bytes({5, 0, 0, 3, 9}) + "localhost" + Bytes({0, 43})}, ""},
      {{Bytes({5, 0, 0, 3, 0, 0, 43})}, ""},
      {{ipv6}, ""},
      {{Bytes({5, 1}) + tail}, "SOCKS Error #1 General SOCKS server failure.\n"},
      {{Bytes({5, 2}) + tail}, "SOCKS Error #2 Connection not allowed by ruleset.\n"},
      {{Bytes({5, 3}) + tail}, "SOCKS Error #3 Network unreachable.\n"},
      {{Bytes({5, 4}) + tail}, "SOCKS Error #4 Host unreachable.\n"},
      {{Bytes({5, 5}) + tail}, "SOCKS Error #5 Connection refused.\n"},
      {{Bytes({5, 6}) + tail}, "SOCKS Error #6 TTL expired.\n"},
      {{Bytes({5, 7}) + tail}, "SOCKS Error #7 Command not supported.\n"},
      {{Bytes({5, 8}) + tail}, "SOCKS Error #8 Address type not supported.\n"},
      {{Bytes({5, 9}) + tail}, "SOCKS Error #9 Unknown error.\n"},
      {{Bytes({5, 255}) + tail}, "SOCKS Error #255 Unknown error.\n"},
      {{Bytes({5, 5})}, "SOCKS Error #5 Connection refused.\n"},  // a short failure still names its code
      {{}, "Bad response received from proxy server!\n"},
      {{Bytes({5})}, "Bad response received from proxy server!\n"},
      {{Bytes({5, 0, 0, 1})}, "Bad response received from proxy server!\n"},
      {{Bytes({5, 0, 0, 1, 127, 0, 0, 1, 0})}, "Bad response received from proxy server!\n"},
      {{Bytes({5, 0, 0, 3, 9}) + "local"}, "Bad response received from proxy server!\n"},
      {{Bytes({5, 0, 0, 9, 0, 0, 0, 0, 0, 0})}, "Bad response received from proxy server!\n"},
  };
  for (const Case& c : cases) {
    const std::string name = testing::PrintToString(c.packets);
    RecordingSink sink;
    SinkScope scope(&sink);
    LoopbackServer proxy({Socks5Proxy({{3, {NoAuth}}, {10, c.packets}}, c.error.empty() ? WhoisReply : "")});
    UseProxy(proxy, Socks5);
    std::string reply;
    EXPECT_EQ(Exchange("192.0.2.7", reply), c.error.empty()) << name;
    EXPECT_EQ(sink.TextOf(Error), c.error) << name;
    EXPECT_EQ(reply, c.error.empty() ? WhoisReply : "") << name;
    ASSERT_TRUE(proxy.WaitDone());
    EXPECT_EQ(proxy.Received()[0], Greeting + Connect + (c.error.empty() ? "q\r\n" : "")) << name;
  }
}

// Whatever the bound address's form, the reply ends where its length says and
// the whois bytes behind it in the same packet are the reply's.
TEST(Socks5Tunnel, WhoisBytesBehindTheReplyBelongToTheReply) {
  const std::string replies[] = {
      Bound,
      Bytes({5, 0, 0, 3, 9}) + "localhost" + Bytes({0, 43}),
      Bytes({5, 0, 0, 4}) + std::string(15, '\0') + Bytes({1, 0, 43}),
  };
  for (const std::string& r : replies) {
    RecordingSink sink;
    SinkScope scope(&sink);
    LoopbackServer proxy({Socks5Proxy({{3, {NoAuth}}, {10, {r + "early "}}}, "late\r\n")});
    UseProxy(proxy, Socks5);
    std::string reply;
    EXPECT_TRUE(Exchange("192.0.2.7", reply));
    EXPECT_EQ(reply, "early late\r\n") << r.size();
  }
}

TEST(Socks5Tunnel, EachPacketWaitsForTheAnswerBeforeIt) {
  RecordingSink sink;
  SinkScope scope(&sink);
  auto pipelined = std::make_shared<bool>(false);
  const std::string auth = Bytes({1, 5}) + "alice" + Bytes({6}) + "secret";
  LoopbackServer proxy(
      {Socks5Proxy({{4, {UserPass}}, {auth.size(), {AuthOk}}, {10, {Bound}}}, WhoisReply, true, pipelined)});
  UseProxy(proxy, Socks5);
  Apply({1, 0, "alice", "secret"});
  std::string reply;
  EXPECT_TRUE(Exchange("192.0.2.7", reply));
  EXPECT_EQ(reply, WhoisReply);
  ASSERT_TRUE(proxy.WaitDone());
  EXPECT_FALSE(*pipelined);
}

// The greeting is not listed; the connect reply always has ten lines, here
// of a 22-byte reply.
TEST(Socks5Tunnel, DebugListsTheHandshake) {
  RecordingSink sink;
  SinkScope scope(&sink);
  const std::string auth = Bytes({1, 1, 'u', 1, 'p'});
  const std::string connect = Bytes({5, 1, 0, 3, 2, 'a', 'b', 0, 43});
  const std::string ipv6 = Bytes({5, 0, 0, 4}) + std::string(15, '\0') + Bytes({1, 0, 43});
  LoopbackServer proxy({Socks5Proxy({{4, {UserPass}}, {auth.size(), {AuthOk}}, {connect.size(), {ipv6}}}, WhoisReply)});
  UseProxy(proxy, Socks5);
  Apply({1, 1, "u", "p"});
  Settings.Debug = 1;
  std::string reply;
  EXPECT_TRUE(Exchange("ab", reply));
  const char* frame = "\n===============\n";
  EXPECT_EQ(sink.TextOf(Detail),
            std::string("\nQuerying ab:43...\n") + "SOCKS5 Proxy Reply:\n========\npacket[0] -> 5\npacket[1] -> 2\n" +
                frame +
                "Authenticating!\n"
                "SOCKS5 Proxy Request:\n========\n"
                "packet[0] -> 1\npacket[1] -> 1\npacket[2] -> 117 'u'\npacket[3] -> 1\npacket[4] -> 112 'p'\n" +
                frame +
                "SOCKS5 Proxy Request:\n========\n"
                "packet[0] -> 5\npacket[1] -> 1\npacket[2] -> 0\npacket[3] -> 3\npacket[4] -> 2\n"
                "packet[5] -> 97 'a'\npacket[6] -> 98 'b'\npacket[7] -> 0\npacket[8] -> 43 '+'\n" +
                frame +
                "SOCKS5 Proxy Reply:\n========\n"
                "packet[0] -> 5\npacket[1] -> 0\npacket[2] -> 0\npacket[3] -> 4\npacket[4] -> 0\n"
                "packet[5] -> 0\npacket[6] -> 0\npacket[7] -> 0\npacket[8] -> 0\npacket[9] -> 0\n" +
                frame);
}

TEST(Socks5Tunnel, PacketsNeverOverrunTheirFields) {
  unsigned char packet[Socks5PacketCapacity];
  const std::string full(Socks5FieldLimit, 'x'), over(Socks5FieldLimit + 1, 'x');
  EXPECT_EQ(BuildSocks5AuthRequest(packet, sizeof packet, full.c_str(), full.c_str()), Socks5PacketCapacity);
  EXPECT_EQ(BuildSocks5AuthRequest(packet, sizeof packet, over.c_str(), ""), -1);
  EXPECT_EQ(BuildSocks5AuthRequest(packet, sizeof packet, "", over.c_str()), -1);
  EXPECT_EQ(BuildSocks5AuthRequest(packet, 4, "ab", ""), -1);
  EXPECT_EQ(BuildSocks5ConnectRequest(packet, sizeof packet, full.c_str(), 0, 43), 7 + Socks5FieldLimit);
  EXPECT_EQ(BuildSocks5ConnectRequest(packet, sizeof packet, over.c_str(), 0, 43), -1);
  EXPECT_EQ(BuildSocks5ConnectRequest(packet, 9, nullptr, 0, 43), -1);
  EXPECT_EQ(BuildSocks5ConnectRequest(packet, 10, nullptr, 0, 43), 10);
}

bool InFakeInternet() {
  const char* flag = std::getenv("MERROWGATE_FAKE_INTERNET");
  return flag && std::string(flag) == "1";
}

// An IPv6 address always goes as one; names the proxy does not resolve go by
// the address found here, IPv4 when the name has one.
TEST(Socks5Tunnel, TargetRequestTable) {
  const std::string head = Bytes({5, 1, 0});
  const std::string v6 = Bytes({4, 0x20, 0x01, 0x0d, 0xb8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 7});
  struct Case {
    const char* host;
    bool proxyResolves, fakeInternet;
    std::string request;  // empty: does not resolve
  } const cases[] = {
      {"2001:db8::7", false, false, head + v6 + Bytes({0, 43})},
      {"2001:db8::7", true, false, head + v6 + Bytes({0, 43})},
      {"[2001:db8::7]", true, false, head + v6 + Bytes({0, 43})},
      {"192.0.2.7", false, false, Connect},
      {"192.0.2.7", true, false, head + Bytes({3, 9}) + "192.0.2.7" + Bytes({0, 43})},
      {"no-such-host.invalid", false, false, ""},
      {"v6only.example.net", false, true,
       head + Bytes({4, 0xfd, 0, 0, 0x77, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 43})},
      {"dual.example.net", false, true, head + Bytes({1, 127, 0, 0, 40, 0, 43})},
  };
  for (const Case& c : cases) {
    if (c.fakeInternet && !InFakeInternet()) continue;
    unsigned char packet[Socks5PacketCapacity];
    const int n = BuildSocks5TargetRequest(packet, sizeof packet, c.host, c.proxyResolves, 43);
    if (c.request.empty()) {
      EXPECT_EQ(n, Socks5Unresolved) << c.host;
      continue;
    }
    ASSERT_GT(n, 0) << c.host;
    EXPECT_EQ(std::string(reinterpret_cast<char*>(packet), static_cast<size_t>(n)), c.request) << c.host;
  }
  unsigned char packet[22];
  platform::SocketAddress target;
  ASSERT_TRUE(platform::ParseAddress("2001:db8::7", 43, target));
  EXPECT_EQ(BuildSocks5AddressRequest(packet, 21, target, 43), -1);
  EXPECT_EQ(BuildSocks5AddressRequest(packet, 22, target, 43), 22);
}

// A name with IPv6 addresses only goes by IPv6, and the proxy's IPv6 bound
// address (22 bytes) ends the reply.
TEST(Socks5Tunnel, IPv6OnlyHostThroughTheProxy) {
  if (!InFakeInternet()) GTEST_SKIP() << "needs the fake internet's hosts";
  const std::string request = Bytes({5, 1, 0, 4, 0xfd, 0, 0, 0x77, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0x10, 0xE1});
  const std::string bound = Bytes({5, 0, 0, 4}) + std::string(15, '\0') + Bytes({1, 0, 43});
  RecordingSink sink;
  SinkScope scope(&sink);
  LoopbackServer proxy({Socks5Proxy({{3, {NoAuth}}, {request.size(), {bound + "early "}}}, "late\r\n")});
  UseProxy(proxy, Socks5);
  std::string reply;
  EXPECT_TRUE(Exchange("v6only.example.net:4321", reply));
  EXPECT_EQ(reply, "early late\r\n");
  ASSERT_TRUE(proxy.WaitDone());
  EXPECT_EQ(proxy.Received()[0], Greeting + request + "q\r\n");
  EXPECT_EQ(sink.TextOf(Error), "");
}

}  // namespace
