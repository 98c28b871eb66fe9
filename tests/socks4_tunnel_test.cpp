// The SOCKS4 and SOCKS4a tunnel against scripted fake proxies on loopback.
#include <gtest/gtest.h>

#include <cstdlib>
#include <initializer_list>
#include <string>
#include <vector>

#include "net/connection.h"
#include "net/socks4_tunnel.h"
#include "settings/settings.h"
#include "tests/support/loopback_server.h"
#include "tests/support/proxy_peer.h"
#include "tests/support/recording_sink.h"

namespace {

const char WhoisReply[] = "Domain Name: EXAMPLE.INVALID\r\n";
const char Host[] = "whois.example.invalid";

const std::string Granted = Bytes({0, 90, 0, 43, 127, 0, 0, 1});
const std::string PlainRequest = Bytes({4, 1, 0, 43, 192, 0, 2, 7, 0});  // 192.0.2.7:43, no user id

// A fake SOCKS4 proxy: takes `request` bytes, answers with `packets`, each
// sent on its own, then, when `whois` is given, answers the query line.
LoopbackServer::Script Socks4Proxy(size_t request, std::vector<std::string> packets, std::string whois = {}) {
  return [=](LoopbackConnection& c) {
    c.Read(request);
    AnswerInPackets(c, packets, whois);
  };
}

TEST(Socks4Tunnel, RequestTable) {
  const std::string host = Host;
  const std::string z(1, '\0');
  struct Case {
    int resolve, useAuth;
    std::string server, request;
  } cases[] = {
      {0, 0, "192.0.2.7", PlainRequest},
      // The user id goes, the password never does.
      {0, 1, "192.0.2.7:4321", Bytes({4, 1, 0x10, 0xE1, 192, 0, 2, 7}) + "alice" + z},
      {0, 0, "192.0.2.7:70000", Bytes({4, 1, 0x11, 0x70, 192, 0, 2, 7, 0})},  // low 16 bits
      {1, 0, host, Bytes({4, 1, 0, 43, 0, 0, 0, 1, 0}) + host + z},
      {1, 1, host, Bytes({4, 1, 0, 43, 0, 0, 0, 1}) + "alice" + z + host + z},
      {1, 0, std::string(255, 'h'), Bytes({4, 1, 0, 43, 0, 0, 0, 1, 0}) + std::string(255, 'h') + z},
  };
  for (const Case& c : cases) {
    RecordingSink sink;
    SinkScope scope(&sink);
    LoopbackServer proxy({Socks4Proxy(c.request.size(), {Granted}, WhoisReply)});
    UseProxy(proxy, Socks4);
    Settings.Resolve = c.resolve;
    Settings.UseAuth = c.useAuth;
    CopyText(Settings.Login, ProxyTextCapacity, "alice");
    CopyText(Settings.Pass, ProxyTextCapacity, "secret");
    std::string reply;
    EXPECT_TRUE(Exchange(c.server.c_str(), reply)) << c.server;
    EXPECT_EQ(reply, WhoisReply);
    ASSERT_TRUE(proxy.WaitDone());
    EXPECT_EQ(proxy.Received()[0], c.request + "q\r\n") << c.server;
    EXPECT_EQ(sink.TextOf(Error), "");
  }
}

TEST(Socks4Tunnel, ReplyTable) {
  struct Case {
    std::vector<std::string> packets;
    std::string error;  // empty: the tunnel stands and the whois reply comes whole
  } cases[] = {
      {{Granted}, ""},
      {{Bytes({4, 90, 0, 0, 0, 0, 0, 0})}, ""},  // the version byte is not looked at
      {{Bytes({0, 90}), Bytes({0, 43, 127}), Bytes({0, 0, 1})}, ""},
      {{Bytes({0, 91, 0, 0, 0, 0, 0, 0})}, "Received error code from proxy: #91\n"},
      {{Bytes({0, 92, 0, 0, 0, 0, 0, 0})}, "Received error code from proxy: #92\n"},
      {{Bytes({0, 93, 0, 0, 0, 0, 0, 0})}, "Received error code from proxy: #93\n"},
      {{Bytes({0, 255, 0, 0, 0, 0, 0, 0})}, "Received error code from proxy: #255\n"},
      {{Bytes({0, 91})}, "Received error code from proxy: #91\n"},
      {{}, "Received error code from proxy: #0\n"},
      {{Bytes({0})}, "Received error code from proxy: #0\n"},
      {{Bytes({0, 90, 0})}, "Bad response received from proxy server!\n"},
  };
  for (const Case& c : cases) {
    const std::string name = testing::PrintToString(c.packets);
    RecordingSink sink;
    SinkScope scope(&sink);
    LoopbackServer proxy({Socks4Proxy(PlainRequest.size(), c.packets, c.error.empty() ? WhoisReply : "")});
    UseProxy(proxy, Socks4);
    std::string reply;
    EXPECT_EQ(Exchange("192.0.2.7", reply), c.error.empty()) << name;
    EXPECT_EQ(sink.TextOf(Error), c.error) << name;
    EXPECT_EQ(reply, c.error.empty() ? WhoisReply : "") << name;
    ASSERT_TRUE(proxy.WaitDone());
    EXPECT_EQ(proxy.Received()[0], PlainRequest + (c.error.empty() ? "q\r\n" : "")) << name;
  }
}

TEST(Socks4Tunnel, WhoisBytesBehindTheReplyBelongToTheReply) {
  RecordingSink sink;
  SinkScope scope(&sink);
  LoopbackServer proxy({Socks4Proxy(PlainRequest.size(), {Granted + "early "}, "late\r\n")});
  UseProxy(proxy, Socks4);
  std::string reply;
  EXPECT_TRUE(Exchange("192.0.2.7", reply));
  EXPECT_EQ(reply, "early late\r\n");
}

// The reply listing has nine lines whatever came; the ninth is always 0.
TEST(Socks4Tunnel, DebugListsRequestAndNineReplyBytes) {
  RecordingSink sink;
  SinkScope scope(&sink);
  LoopbackServer proxy({Socks4Proxy(PlainRequest.size(), {Granted}, WhoisReply)});
  UseProxy(proxy, Socks4);
  Settings.Debug = 1;
  std::string reply;
  EXPECT_TRUE(Exchange("192.0.2.7", reply));
  EXPECT_EQ(sink.TextOf(Detail),
            "\nQuerying 192.0.2.7:43...\n"
            "SOCKS4 Proxy Request:\n========\n"
            "packet[0] -> 4\npacket[1] -> 1\npacket[2] -> 0\npacket[3] -> 43 '+'\n"
            "packet[4] -> 192 '\xc0'\npacket[5] -> 0\npacket[6] -> 2\npacket[7] -> 7\npacket[8] -> 0\n"
            "\n===============\n"
            "SOCKS4 Proxy Reply:\n========\n"
            "packet[0] -> 0\npacket[1] -> 90 'Z'\npacket[2] -> 0\npacket[3] -> 43 '+'\n"
            "packet[4] -> 127 '\x7f'\npacket[5] -> 0\npacket[6] -> 0\npacket[7] -> 1\npacket[8] -> 0\n"
            "\n===============\n");
}

TEST(Socks4Tunnel, RequestNeverOverrunsItsBuffer) {
  unsigned char packet[Socks4PacketCapacity];
  const std::string user(ProxyTextCapacity - 1, 'u'), host(Socks4HostNameLimit, 'h');
  EXPECT_EQ(BuildSocks4Request(packet, sizeof packet, 43, 0, user.c_str(), host.c_str()), Socks4PacketCapacity);
  EXPECT_EQ(BuildSocks4Request(packet, Socks4PacketCapacity - 1, 43, 0, user.c_str(), host.c_str()), -1);
  EXPECT_EQ(BuildSocks4Request(packet, 8, 43, 0, "", nullptr), -1);
  EXPECT_EQ(BuildSocks4Request(packet, 9, 43, 0, "", nullptr), 9);
}

// SOCKS4 carries IPv4 addresses only: a host with IPv6 addresses alone is
// refused before anything is sent; SOCKS4a hands the name on.
TEST(Socks4Tunnel, IPv6OnlyHost) {
  const char* flag = std::getenv("MERROWGATE_FAKE_INTERNET");
  if (!flag || std::string(flag) != "1") GTEST_SKIP() << "needs the fake internet's hosts";
  const std::string host = "v6only.example.net";
  struct Case {
    int resolve;
    std::string error, request;
  } const cases[] = {
      {0, "SOCKS4 can not reach the IPv6 host 'v6only.example.net': use SOCKS4a or SOCKS5\n", ""},
      {1, "", Bytes({4, 1, 0, 43, 0, 0, 0, 1, 0}) + host + std::string(1, '\0') + "q\r\n"},
  };
  for (const Case& c : cases) {
    RecordingSink sink;
    SinkScope scope(&sink);
    LoopbackServer proxy({Socks4Proxy(c.request.empty() ? 9 : c.request.size() - 3, {Granted}, WhoisReply)});
    UseProxy(proxy, Socks4);
    Settings.Resolve = c.resolve;
    std::string reply;
    EXPECT_EQ(Exchange(host, reply), c.error.empty());
    EXPECT_EQ(sink.TextOf(Error), c.error);
    ASSERT_TRUE(proxy.WaitDone());
    EXPECT_EQ(proxy.Received()[0], c.request);
  }
}

}  // namespace
