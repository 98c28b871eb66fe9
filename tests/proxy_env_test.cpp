// The proxy from the environment: which variable counts, NO_PROXY's matching,
// and proxy URLs with IPv6 hosts.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "cli/proxy_env.h"
#include "cli/proxy_url.h"
#include "settings/settings.h"

namespace {

TEST(ProxyUrl, IPv6HostsInBrackets) {
  struct Case {
    const char* url;
    const char* server;  // nullptr: refused
    int port;
  } const cases[] = {
      {"socks5://[::1]:1080", "::1", 1080},
      {"socks5h://[2001:db8::1]", "2001:db8::1", 1080},
      {"http://user:pw@[fd00:77::4]:3128/", "fd00:77::4", 3128},
      {"http://[::1]:", nullptr, 0},
      {"http://[::1", nullptr, 0},
      {"http://[::1]x:80", nullptr, 0},
      {"http://[]:80", nullptr, 0},
  };
  for (const Case& c : cases) {
    ProxyChoice choice;
    std::string error;
    EXPECT_EQ(ParseProxyUrl(c.url, choice, error), c.server != nullptr) << c.url;
    if (!c.server) continue;
    EXPECT_EQ(choice.Server, c.server) << c.url;
    EXPECT_EQ(choice.Port, c.port) << c.url;
  }
}

TEST(ProxyEnvironment, NoProxyTable) {
  struct Case {
    const char *list, *host;
    bool direct;
  } const cases[] = {
      {"*", "whois.example.net", true},
      {" * ", "192.0.2.1", true},
      {"example.net", "example.net", true},
      {"example.net", "whois.EXAMPLE.net", true},
      {".example.net", "example.net", true},
      {".example.net", "whois.example.net", true},
      {"example.net", "badexample.net", false},
      {"example.net", "example.net.evil", false},
      {"example.net.", "whois.example.net", true},
      {"localhost, example.org ,example.net", "whois.example.net", true},
      {"a,,b", "whois.example.net", false},
      {"*.example.net", "whois.example.net", false},  // no wildcards but "*" alone
      {"", "whois.example.net", false},
      {"192.0.2.1", "192.0.2.1", true},
      {"192.0.2.1", "192.0.2.10", false},
      {"192.0.2.0/24", "192.0.2.77", true},
      {"192.0.2.0/24", "192.0.3.1", false},
      {"192.0.2.0/33", "192.0.2.1", false},
      {"::1", "[::1]", true},
      {"[::1]", "::1", true},
      {"2001:db8::/32", "2001:db8:1::5", true},
      {"2001:db8::/32", "2001:db9::5", false},
      {"2001:db8::1", "192.0.2.1", false},
      {"192.0.2.1", "192.0.2.1.example.net", false},  // a name is not an address
      {"example.net:43", "example.net", false},       // ports are not part of it
  };
  for (const Case& c : cases) EXPECT_EQ(NoProxyMatches(c.list, c.host), c.direct) << c.list << " / " << c.host;
}

TEST(ProxyEnvironment, VariablesTable) {
  using Env = std::map<std::string, std::string>;
  struct Case {
    Env env;
    ProxyPurpose purpose;
    const char* host;
    const char* variable;  // nullptr: no proxy; "" : a bad value
    int type;
    const char* server;
    int port;
  } const cases[] = {
      {{}, ProxyPurpose::Whois, "whois.example.net", nullptr, 0, "", 0},
      {{{"ALL_PROXY", "socks5h://p.example:1081"}},
       ProxyPurpose::Whois,
       "w.example",
       "ALL_PROXY",
       Socks5,
       "p.example",
       1081},
      {{{"all_proxy", "socks4://low"}, {"ALL_PROXY", "http://up"}},
       ProxyPurpose::Whois,
       "w.example",
       "all_proxy",
       Socks4,
       "low",
       1080},
      {{{"all_proxy", "p.example:3128"}}, ProxyPurpose::Whois, "w.example", "all_proxy", HTTP, "p.example", 3128},
      {{{"all_proxy", ""}}, ProxyPurpose::Whois, "w.example", nullptr, 0, "", 0},
      // HTTPS_PROXY is for RDAP only, before ALL_PROXY.
      {{{"HTTPS_PROXY", "http://h"}}, ProxyPurpose::Whois, "w.example", nullptr, 0, "", 0},
      {{{"HTTPS_PROXY", "http://h"}, {"all_proxy", "socks5://a"}},
       ProxyPurpose::Rdap,
       "rdap.example",
       "HTTPS_PROXY",
       HTTP,
       "h",
       8080},
      {{{"https_proxy", ""}, {"all_proxy", "socks5://a"}},
       ProxyPurpose::Rdap,
       "r.example",
       "all_proxy",
       Socks5,
       "a",
       1080},
      {{{"all_proxy", "socks5://[::1]:9050"}, {"NO_PROXY", "other.example"}},
       ProxyPurpose::Whois,
       "w.example",
       "all_proxy",
       Socks5,
       "::1",
       9050},
      {{{"all_proxy", "socks5://a"}, {"no_proxy", ".example"}}, ProxyPurpose::Whois, "w.example", nullptr, 0, "", 0},
      {{{"all_proxy", "ftp://a"}}, ProxyPurpose::Whois, "w.example", "", 0, "", 0},
      // A bad value for a host that goes direct anyway is no error.
      {{{"all_proxy", "ftp://a"}, {"no_proxy", "*"}}, ProxyPurpose::Whois, "w.example", nullptr, 0, "", 0},
  };
  for (const Case& c : cases) {
    const auto lookup = [&](const char* name) -> const char* {
      const auto found = c.env.find(name);
      return found == c.env.end() ? nullptr : found->second.c_str();
    };
    EnvironmentProxy proxy;
    std::string error;
    const bool ok = ProxyFromEnvironment(c.purpose, c.host, lookup, proxy, error);
    const std::string name = testing::PrintToString(c.env);
    if (c.variable && !*c.variable) {
      EXPECT_FALSE(ok) << name;
      EXPECT_EQ(error.rfind("all_proxy: ", 0), 0u) << error;
      continue;
    }
    ASSERT_TRUE(ok) << name << ": " << error;
    EXPECT_EQ(proxy.Applies, c.variable != nullptr) << name;
    if (!c.variable) continue;
    EXPECT_EQ(proxy.Variable, c.variable) << name;
    EXPECT_EQ(proxy.Choice.Type, c.type) << name;
    EXPECT_EQ(proxy.Choice.Server, c.server) << name;
    EXPECT_EQ(proxy.Choice.Port, c.port) << name;
  }
}

}  // namespace
