// Server texts: host and port, IPv6 addresses with and without brackets.
#include <gtest/gtest.h>

#include <string>

#include "net/server_text.h"
#include "platform/sockets.h"

namespace {

TEST(ServerTextForms, SplitsHostAndPort) {
  struct Case {
    const char* text;
    const char* host;
    int port;
  } const cases[] = {
      {"whois.example.net", "whois.example.net", 43},
      {"host:4321", "host", 4321},
      {"host:", "host", 0},
      {"a:b:c", "a", 0},  // not an IPv6 address
      {"host:12ab", "host", 12},
      {"host:-5", "host", -5},
      {"host:99999999999", "host", static_cast<int>(99999999999ull & 0xFFFFFFFFu)},
      {":43", "", 43},
      {"192.0.2.1:4343", "192.0.2.1", 4343},
      // IPv6
      {"[2001:db8::1]", "2001:db8::1", 43},
      {"[2001:db8::1]:4343", "2001:db8::1", 4343},
      {"[::1]:", "::1", 0},
      {"[::1]: 77", "::1", 77},
      {"2001:db8::1", "2001:db8::1", 43},
      {"::1", "::1", 43},
      {"::ffff:192.0.2.1", "::ffff:192.0.2.1", 43},
      {"2001:db8::1:4343", "2001:db8::1:4343", 43},  // one address, the port cannot be told apart
      {"2001:db8::g:43", "2001", 0},                 // not an address: the old split
      // brackets that do not close, or are followed by something else
      {"[::1", "[", 0},
      {"[::1]x", "[", 0},
      {"[]:43", "[]", 43},
  };
  for (const Case& c : cases) {
    const ServerAddress a = SplitServerText(c.text);
    EXPECT_STREQ(a.Host, c.host) << c.text;
    EXPECT_EQ(a.Port, c.port) << c.text;
  }
}

TEST(ServerTextForms, CutsOverlongHost) {
  const std::string longHost(5000, 'h');
  const ServerAddress a = SplitServerText((longHost + ":44").c_str());
  EXPECT_EQ(std::string(a.Host), std::string(1023, 'h'));
  EXPECT_EQ(a.Port, 44);
  const ServerAddress b = SplitServerText(("[" + longHost + "]:45").c_str());
  EXPECT_EQ(std::string(b.Host), std::string(1023, 'h'));
  EXPECT_EQ(b.Port, 45);
}

TEST(ServerTextForms, HostAndPortTexts) {
  EXPECT_EQ(FormatHostPort("whois.example.net", 43), "whois.example.net:43");
  EXPECT_EQ(FormatHostPort("192.0.2.1", 4343), "192.0.2.1:4343");
  EXPECT_EQ(FormatHostPort("2001:db8::1", 4343), "[2001:db8::1]:4343");
  EXPECT_EQ(FormatHostPort("[2001:db8::1]", 43), "[2001:db8::1]:43");
}

}  // namespace
