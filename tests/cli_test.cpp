// The console front end's own rules: proxy URLs and the console sink.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "cli/console_sink.h"
#include "cli/proxy_url.h"
#include "settings/settings.h"

namespace {

TEST(ParseProxyUrl, Accepted) {
  struct Case {
    const char* url;
    int type, resolve, useAuth;
    const char *server, *login, *pass;
    int port;
  } cases[] = {
      {"http://proxy.example:3128", HTTP, 0, 0, "proxy.example", "", "", 3128},
      {"HTTP://proxy.example", HTTP, 0, 0, "proxy.example", "", "", 8080},
      {"socks4://10.0.0.1:1081/", Socks4, 0, 0, "10.0.0.1", "", "", 1081},
      {"socks4a://user@p", Socks4, 1, 1, "p", "user", "", 1080},
      {"socks5://u:p%40ss%3A@p:1", Socks5, 0, 1, "p", "u", "p@ss:", 1},
      {"socks5h://u:@p:65535", Socks5, 1, 1, "p", "u", "", 65535},
      {"http://a@b@host:80", HTTP, 0, 1, "host", "a@b", "", 80},  // the last "@" ends the credentials
  };
  for (const Case& c : cases) {
    ProxyChoice choice;
    std::string error;
    ASSERT_TRUE(ParseProxyUrl(c.url, choice, error)) << c.url << ": " << error;
    EXPECT_EQ(choice.Type, c.type) << c.url;
    EXPECT_EQ(choice.Resolve, c.resolve) << c.url;
    EXPECT_EQ(choice.UseAuth, c.useAuth) << c.url;
    EXPECT_EQ(choice.Server, c.server) << c.url;
    EXPECT_EQ(choice.Login, c.login) << c.url;
    EXPECT_EQ(choice.Pass, c.pass) << c.url;
    EXPECT_EQ(choice.Port, c.port) << c.url;
  }
}

TEST(ParseProxyUrl, Refused) {
  const std::string longHost(128, 'h');
  const std::vector<std::string> urls = {"proxy.example:8080", "gopher://p", "http://", "http://:80", "http://p:0",
                                "http://p:65536", "http://p:80x", "http://p:", "http://p/path",
                                "socks5://u:%zz@p", "socks5://u:%0@p", "socks5://u:%00@p",
                                std::string("http://") + longHost, "http://" + longHost + "@p"};
  for (const std::string& url : urls) {
    ProxyChoice choice;
    std::string error;
    EXPECT_FALSE(ParseProxyUrl(url, choice, error)) << url;
    EXPECT_FALSE(error.empty()) << url;
  }
}

std::string Render(bool colour, TextKind kind, const char* text) {
  std::FILE* f = std::tmpfile();
  ConsoleSink sink(f, colour, "");
  sink.AppendOutput(kind, text);
  std::rewind(f);
  std::string out;
  for (int c; (c = std::fgetc(f)) != EOF;) out += static_cast<char>(c);
  std::fclose(f);
  return out;
}

TEST(ConsoleSink, ColoursByKind) {
  struct Case {
    int kind;
    const char* expected;
  } cases[] = {
      {Plain, "x"},
      {Info, "\x1b[32mx\x1b[0m"},
      {Error, "\x1b[31mx\x1b[0m"},
      {Detail, "\x1b[90mx\x1b[0m"},
      {MailLink, "\x1b[4mx\x1b[0m"},
      {Highlight, "\x1b[34mx\x1b[0m"},
      {42, "x"},  // unknown kinds are plain, like black text in the pane
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Render(true, static_cast<TextKind>(c.kind), "x"), c.expected) << c.kind;
    EXPECT_EQ(Render(false, static_cast<TextKind>(c.kind), "x"), "x") << c.kind;
  }
}

TEST(ConsoleSink, QueryTextIsCutToTheCapacity) {
  ConsoleSink sink(stdout, false, "example.com");
  char buffer[8];
  EXPECT_EQ(sink.ReadQueryText(buffer, sizeof buffer), 7);
  EXPECT_STREQ(buffer, "example");
  EXPECT_EQ(sink.ReadQueryText(buffer, 1), 0);
  EXPECT_STREQ(buffer, "");
}

}  // namespace
