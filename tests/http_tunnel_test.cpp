// The HTTP CONNECT tunnel against scripted fake proxies on loopback.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "net/base64.h"
#include "net/connection.h"
#include "net/http_tunnel.h"
#include "settings/settings.h"
#include "tests/support/loopback_server.h"
#include "tests/support/proxy_peer.h"
#include "tests/support/recording_sink.h"

namespace {

const char WhoisReply[] = "Domain Name: EXAMPLE.INVALID\r\n";

// A fake HTTP proxy: takes the request up to its empty line, answers with
// `packets`, each sent on its own, then, when `whois` is given, takes the
// query line and answers it as the whois server would.
LoopbackServer::Script HttpProxy(std::vector<std::string> packets, std::string whois = {}) {
  return [packets, whois](LoopbackConnection& c) {
    c.ReadUntil("\r\n\r\n");
    AnswerInPackets(c, packets, whois);
  };
}

const char PlainRequest[] = "CONNECT whois.example.invalid:43 HTTP/1.1\r\n\r\n";

TEST(HttpTunnel, RequestTable) {
  const std::string u127(127, 'u'), p127(127, 'p');
  char longEncoded[400];
  ASSERT_NE(Base64Encode((u127 + ":" + p127).c_str(), longEncoded, sizeof longEncoded), nullptr);
  struct Case {
    int useAuth, resolve;
    std::string login, pass, server, request;
  } cases[] = {
      {0, 0, "", "", "whois.example.invalid", PlainRequest},
      {0, 1, "", "", "whois.example.invalid", PlainRequest},  // the proxy always resolves
      {0, 0, "user", "pass", "whois.example.invalid:4321", "CONNECT whois.example.invalid:4321 HTTP/1.1\r\n\r\n"},
      {0, 0, "", "", "whois.example.invalid:", "CONNECT whois.example.invalid:0 HTTP/1.1\r\n\r\n"},
      {1, 0, "user", "pass", "whois.example.invalid",
       "CONNECT whois.example.invalid:43 HTTP/1.1\r\nProxy-Authorization: Basic dXNlcjpwYXNz\r\n\r\n"},
      {1, 0, "", "", "whois.example.invalid",
       "CONNECT whois.example.invalid:43 HTTP/1.1\r\nProxy-Authorization: Basic Og==\r\n\r\n"},
      // The longest credentials the settings hold are sent, not dropped.
      {1, 0, u127, p127, "whois.example.invalid",
       std::string("CONNECT whois.example.invalid:43 HTTP/1.1\r\nProxy-Authorization: Basic ") + longEncoded +
           "\r\n\r\n"},
  };
  for (const Case& c : cases) {
    RecordingSink sink;
    SinkScope scope(&sink);
    LoopbackServer proxy({HttpProxy({"HTTP/1.0 200 OK\r\n\r\n"}, WhoisReply)});
    UseProxy(proxy, HTTP);
    Settings.UseAuth = c.useAuth;
    Settings.Resolve = c.resolve;
    CopyText(Settings.Login, ProxyTextCapacity, c.login.c_str());
    CopyText(Settings.Pass, ProxyTextCapacity, c.pass.c_str());
    std::string reply;
    EXPECT_TRUE(Exchange(c.server.c_str(), reply)) << c.request;
    EXPECT_EQ(reply, WhoisReply);
    ASSERT_TRUE(proxy.WaitDone());
    EXPECT_EQ(proxy.Received()[0], c.request + "q\r\n");
    EXPECT_EQ(sink.TextOf(Error), "");
  }
}

TEST(HttpTunnel, ReplyTable) {
  const std::string established = "HTTP/1.0 200 Connection established\r\nProxy-agent: tinyproxy/1.11.1\r\n\r\n";
  struct Case {
    std::vector<std::string> packets;
    std::string error;  // empty: the tunnel stands and the whois reply comes whole
  } cases[] = {
      {{established}, ""},
      {{"http/1.1 200 ok\r\n\r\n"}, ""},
      {{"HTTP/1.1    200 OK\r\n\r\n"}, ""},
      {{"HTTP/1.9 200 OK\r\n\r\n"}, ""},
      {{"HTTP/1.0 200 OK\nVia: 1.1 proxy\n\n"}, ""},
      // Split anywhere, even right after the code: no byte is lost.
      {{"HTTP/1.0 200", "\r\n\r\n"}, ""},
      {{"HT", "TP/1.0 20", "0 Connection established\r\nProxy-agent: x\r", "\n\r\n"}, ""},
      {{"HTTP/1.1 407 Proxy Authentication Required\r\nProxy-Authenticate: Basic realm=\"p\"\r\n"
        "Content-Length: 0\r\n\r\n"},
       "Received error code from proxy: HTTP/1.1 407 Proxy Authentication Required\n"},
      {{"HTTP/1.0 403 Forbidden\r\n\r\n"}, "Received error code from proxy: HTTP/1.0 403 Forbidden\n"},
      {{"HTTP/1.1 2000 OK\r\n\r\n"}, "Received error code from proxy: HTTP/1.1 2000 OK\n"},
      {{"HTTP/1.1 20 OK\r\n\r\n"}, "Received error code from proxy: HTTP/1.1 20 OK\n"},
      {{"HTTP/1.1 OK\r\n\r\n"}, "Received error code from proxy: HTTP/1.1 OK\n"},
      {{"HTTP/1.1 502\n\n"}, "Received error code from proxy: HTTP/1.1 502\n"},
      {{"HTTP/1.1"}, "Incomplete reply received from proxy!\n"},
      {{"HTTP/1.1   "}, "Incomplete reply received from proxy!\n"},
      {{"HTTP/2 200\r\n\r\n"}, "Unexpected reply received from proxy!\n"},
      {{"SSH-2.0-OpenSSH_9.2p1\r\n"}, "Unexpected reply received from proxy!\n"},
      {{"HTT"}, "Unexpected reply received from proxy!\n"},
      {{}, "No reply received from proxy!\n"},
      // Closed before the empty line that ends the header: no tunnel.
      {{"HTTP/1.1 200 OK\r\n"}, "Incomplete reply received from proxy!\n"},
      {{"HTTP/1.0 200 Connection established\r\nVia: p\r\n"}, "Incomplete reply received from proxy!\n"},
  };
  for (const Case& c : cases) {
    const std::string first = c.packets.empty() ? "(nothing)" : c.packets[0];
    RecordingSink sink;
    SinkScope scope(&sink);
    LoopbackServer proxy({HttpProxy(c.packets, c.error.empty() ? WhoisReply : "")});
    UseProxy(proxy, HTTP);
    std::string reply;
    EXPECT_EQ(Exchange("whois.example.invalid", reply), c.error.empty()) << first;
    EXPECT_EQ(sink.TextOf(Error), c.error) << first;
    EXPECT_EQ(reply, c.error.empty() ? WhoisReply : "") << first;
    ASSERT_TRUE(proxy.WaitDone());
    // After a failure the query line never goes out.
    EXPECT_EQ(proxy.Received()[0], PlainRequest + std::string(c.error.empty() ? "q\r\n" : "")) << first;
    EXPECT_EQ(CurrentConnection, platform::InvalidSocket);
  }
}

TEST(HttpTunnel, WhoisBytesInTheHeaderPacketBelongToTheReply) {
  RecordingSink sink;
  SinkScope scope(&sink);
  LoopbackServer proxy({HttpProxy({"HTTP/1.0 200 OK\r\nVia: p\r\n\r\nearly "}, "late\r\n")});
  UseProxy(proxy, HTTP);
  std::string reply;
  EXPECT_TRUE(Exchange("whois.example.invalid", reply));
  EXPECT_EQ(reply, "early late\r\n");
}

// squid keeps the connection open after a 407: the client must not wait for
// the body or the close.
TEST(HttpTunnel, KeptAliveErrorReplyEndsAtItsHeader) {
  RecordingSink sink;
  SinkScope scope(&sink);
  LoopbackServer proxy({[](LoopbackConnection& c) {
    c.ReadUntil("\r\n\r\n");
    c.Send("HTTP/1.1 407 Proxy Authentication Required\r\nContent-Length: 4\r\n\r\nbody");
    c.ReadAvailable(3000);  // until the client closes
  }});
  UseProxy(proxy, HTTP);
  const auto start = std::chrono::steady_clock::now();
  std::string reply;
  EXPECT_FALSE(Exchange("whois.example.invalid", reply));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(2000));
  EXPECT_EQ(sink.TextOf(Error), "Received error code from proxy: HTTP/1.1 407 Proxy Authentication Required\n");
}

TEST(HttpTunnel, ResetBeforeAnswering) {
  RecordingSink sink;
  SinkScope scope(&sink);
  LoopbackServer proxy({[](LoopbackConnection& c) {
    c.ReadUntil("\r\n\r\n");
    c.Reset();
  }});
  UseProxy(proxy, HTTP);
  std::string reply;
  EXPECT_FALSE(Exchange("whois.example.invalid", reply));
  EXPECT_EQ(sink.TextOf(Error), "No reply received from proxy!\n");
}

// A header that never ends would run into the whois reply; it is cut off at
// its bound instead of being read without end.
TEST(HttpTunnel, EndlessHeaderIsRefused) {
  RecordingSink sink;
  SinkScope scope(&sink);
  std::string header = "HTTP/1.0 200 OK\r\n";
  while (header.size() < HttpReplyCapacity + 1000) header += "X-Filler: 0123456789\r\n";
  LoopbackServer proxy({HttpProxy({header})});
  UseProxy(proxy, HTTP);
  std::string reply;
  EXPECT_FALSE(Exchange("whois.example.invalid", reply));
  EXPECT_EQ(sink.TextOf(Error), "Reply header from proxy too long!\n");
}

TEST(HttpTunnel, DebugShowsRequestAndReplyFramed) {
  RecordingSink sink;
  SinkScope scope(&sink);
  const std::string header = "HTTP/1.1 200 Connection established\r\n\r\n";
  LoopbackServer proxy({HttpProxy({header}, WhoisReply)});
  UseProxy(proxy, HTTP);
  Settings.Debug = 1;
  Settings.UseAuth = 1;
  CopyText(Settings.Login, ProxyTextCapacity, "user");
  CopyText(Settings.Pass, ProxyTextCapacity, "pass");
  std::string reply;
  EXPECT_TRUE(Exchange("whois.example.invalid", reply));
  EXPECT_EQ(sink.TextOf(Detail),
            "\nQuerying whois.example.invalid:43...\n"
            "HTTP Proxy Request:\n========\n"
            "CONNECT whois.example.invalid:43 HTTP/1.1\r\nProxy-Authorization: Basic dXNlcjpwYXNz\r\n\r\n"
            "\n===============\n"
            "HTTP Proxy Reply:\n========\n" +
                header + "\n===============\n");
  EXPECT_EQ(sink.TextOf(Plain), "Connecting to proxy...\n");
}

TEST(HttpTunnel, JudgeStatusLineTable) {
  struct Case {
    std::string reply;
    HttpReplyVerdict verdict;
    int lineLength;  // checked for ErrorStatus only
  } cases[] = {
      {"HTTP/1.0 200", HttpReplyVerdict::Established, 0},  // no line end: the last byte counts
      {"HTTP/1.0 20", HttpReplyVerdict::ErrorStatus, 11},
      {"HTTP/1.0 404 Not Found\r\nX: y", HttpReplyVerdict::ErrorStatus, 22},
      {"HTTP/1.0 99999999999999999999 Big", HttpReplyVerdict::ErrorStatus, 33},
      {"HTTP/1.0", HttpReplyVerdict::NoStatusCode, 0},
      {"HTTP/1.", HttpReplyVerdict::NoStatusCode, 0},
      {"HTTP/1.0  ", HttpReplyVerdict::NoStatusCode, 0},
      {"", HttpReplyVerdict::NotHttp, 0},
      {"HTTPS/1.0 200", HttpReplyVerdict::NotHttp, 0},
      {"hTtP/1.x 200", HttpReplyVerdict::Established, 0},
  };
  for (const Case& c : cases) {
    const HttpReplyStatus s = JudgeHttpReply(c.reply.data(), static_cast<int>(c.reply.size()));
    EXPECT_EQ(s.Verdict, c.verdict) << c.reply;
    if (c.verdict == HttpReplyVerdict::ErrorStatus) {
      EXPECT_EQ(s.StatusLineLength, c.lineLength) << c.reply;
    }
  }
}

TEST(HttpTunnel, HeaderEndTable) {
  struct Case {
    std::string bytes;
    bool complete;
  } cases[] = {
      {"HTTP/1.0 200 OK\r\n\r\n", true},
      {"HTTP/1.0 200 OK\n\n", true},
      {"A\n\r\n", true},
      {"A\r\n", false},
      {"A\r\n\r", false},
      {"A\r\r\n", false},
      {"", false},
      {"\r\n", true},
      {"\n", true},
  };
  for (const Case& c : cases)
    EXPECT_EQ(HttpReplyHeaderComplete(c.bytes.data(), static_cast<int>(c.bytes.size())), c.complete)
        << testing::PrintToString(c.bytes);
}

TEST(HttpTunnel, RequestFitsItsBufferExactlyOrNotAtAll) {
  const std::string request = PlainRequest;
  char buffer[HttpRequestCapacity];
  const int fit = static_cast<int>(request.size()) + 1;
  EXPECT_EQ(BuildHttpConnectRequest(buffer, fit, "whois.example.invalid", 43, nullptr),
            static_cast<int>(request.size()));
  EXPECT_EQ(std::string(buffer), request);
  EXPECT_EQ(BuildHttpConnectRequest(buffer, fit - 1, "whois.example.invalid", 43, nullptr), -1);
  EXPECT_EQ(BuildHttpConnectRequest(buffer, 60, "whois.example.invalid", 43, "dXNlcjpwYXNz"), -1);
}

TEST(HttpTunnel, IPv6AddressesGoInBrackets) {
  struct Case {
    const char *host, *line;
  } const cases[] = {
      {"2001:db8::1", "CONNECT [2001:db8::1]:4343 HTTP/1.1\r\n\r\n"},
      {"[2001:db8::1]", "CONNECT [2001:db8::1]:4343 HTTP/1.1\r\n\r\n"},
      {"192.0.2.1", "CONNECT 192.0.2.1:4343 HTTP/1.1\r\n\r\n"},
  };
  for (const Case& c : cases) {
    char buffer[HttpRequestCapacity];
    ASSERT_GT(BuildHttpConnectRequest(buffer, sizeof buffer, c.host, 4343, nullptr), 0) << c.host;
    EXPECT_STREQ(buffer, c.line);
  }
}

}  // namespace
