// Query cleanup and classification, with resolution off unless a case turns it
// on for names that the local hosts file answers (localhost, 127.0.0.1).
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "engine/classify.h"
#include "engine/directory.h"
#include "net/connection.h"
#include "settings/settings.h"
#include "tests/support/recording_sink.h"

namespace {

TEST(NormalizeQueryText, Table) {
  struct Case {
    const char* in;
    const char* out;
  } cases[] = {
      {"example.com", "example.com"},
      {"  \t example.com   ", "example.com"},
      {"example.com\t", "example.com\t"},  // trailing tabs stay
      {"http://www.example.com:8080/path?q=1", "www.example.com"},
      {"https://example.com/", "example.com"},
      {"ftp://host name", "host"},
      {"example.com/path", "example.com/path"},  // no scheme, no cut
      {"://", ""},
      {":///path", "/path"},  // a cut character at the very start stays
      {"a://b://c", "b"},
      {"   ", ""},
      {"", ""},
  };
  for (const Case& c : cases) {
    char text[64];
    std::snprintf(text, sizeof text, "%s", c.in);
    NormalizeQueryText(text);
    EXPECT_STREQ(text, c.out) << "'" << c.in << "'";
  }
}

struct ClassifyTest : testing::Test {
  RecordingSink sink;
  SinkScope scope{&sink};
  LookupTarget target{};

  const char* Classify(const std::string& query) {
    sink.SetQuery(query);
    return ClassifyQuery(target);
  }
};

TEST_F(ClassifyTest, WithoutResolution) {
  struct Case {
    const char* query;
    int kind;
    const char* host;
    const char* ip;
    const char* domain;
    const char* server;  // nullptr: none
    const char* text;    // the pane's whole text
  } cases[] = {
      {"example.com", HostName, "example.com", "", "example.com", ComNetServer,
       "Hostname:\texample.com\nDomain:\texample.com\n"},
      {"WWW.Example.org", HostName, "WWW.Example.org", "", "Example.org", "whois.pir.org",
       "Hostname:\tWWW.Example.org\nDomain:\tExample.org\n"},
      {"www.com", HostName, "www.com", "", "www.com", ComNetServer, "Hostname:\twww.com\nDomain:\twww.com\n"},
      {"www.example", HostName, "www.example", "", "www.example", DefaultWhoisServer,
       "Hostname:\twww.example\nDomain:\twww.example\n"
       "Don't know which Top Level Domain this server belongs to!\nPlease contact me with the domain name so "
       "I can fix this.\nFalling back to the default server."},
      {"example.com/path", HostName, "example.com/path", "", "example.com/path", nullptr, nullptr},
      {"16909060", IpAddress, "", "1.2.3.4", "", nullptr,
       "Packed IP: 1.2.3.4\nChecking IP: 1.2.3.4...\nIP:\t\t1.2.3.4\n"},
      {"4294967295", Undecided, "", "", "", nullptr,
       "Packed IP: 255.255.255.255\nChecking IP: 255.255.255.255...\nInvalid IP address."},
      {"1.2.3.4", IpAddress, "", "1.2.3.4", "", nullptr, "Checking IP: 1.2.3.4...\nIP:\t\t1.2.3.4\n"},
      {"1.2.3.4a", HostName, "1.2.3.4a", "", "1.2.3.4a", nullptr, nullptr},
      {"1.2.3.4/", HostName, "1.2.3.4/", "", "1.2.3.4/", nullptr, nullptr},
      {"255.255.255.255", Undecided, "", "", "", nullptr, "Checking IP: 255.255.255.255...\nInvalid IP address."},
      {"1..2", Undecided, "", "", "", nullptr, "Checking IP: 1..2...\nInvalid IP address."},
      {"0", Undecided, "", "", "", nullptr, "Invalid Packed IP address."},
      {"000", Undecided, "", "", "", nullptr, "Invalid Packed IP address."},
      {"4294967296", Undecided, "", "", "", nullptr, "Invalid Packed IP address."},
      {"99999999999999999999999", Undecided, "", "", "", nullptr, "Invalid Packed IP address."},
  };
  for (const Case& c : cases) {
    target = LookupTarget{};
    const char* server = Classify(c.query);
    if (c.kind != Undecided || c.text) {
      EXPECT_EQ(target.Kind, c.kind) << c.query;
    }
    EXPECT_STREQ(target.Host, c.host) << c.query;
    EXPECT_STREQ(target.IP, c.ip) << c.query;
    EXPECT_STREQ(target.Domain, c.domain) << c.query;
    if (c.server) {
      EXPECT_STREQ(server, c.server) << c.query;
    } else if (!target.Host[0]) {
      EXPECT_EQ(server, nullptr) << c.query;
    }
    if (c.text) {
      EXPECT_EQ(sink.Text(), c.text) << c.query;
    }
  }
}

TEST_F(ClassifyTest, RegistryListServersAndPortlessRegistries) {
  struct Case {
    const char* query;
    const char* server;
    const char* after;  // what follows the domain line
  } cases[] = {
      {"example.io", "whois.nic.io", ""},
      {"example.hk", "whois.hkirc.hk", ""},
      {"example.bs", DefaultWhoisServer,
       "The registry of .bs runs no whois server on port 43; asking whois.iana.org.\n"},
      {"Example.AO", DefaultWhoisServer,
       "The registry of .AO runs no whois server on port 43; asking whois.iana.org.\n"},
      {"example.info", "whois.nic.info", ""},  // the own table's row, whatever the list says
  };
  for (const Case& c : cases) {
    EXPECT_STREQ(Classify(c.query), c.server) << c.query;
    const std::string text = sink.Text();
    const std::string domainLine = std::string("Domain:\t") + c.query + "\n";
    ASSERT_NE(text.find(domainLine), std::string::npos) << text;
    EXPECT_EQ(text.substr(text.find(domainLine) + domainLine.size()), c.after) << c.query;
    if (c.after[0]) {
      EXPECT_EQ(sink.Pieces().back().Kind, Info) << c.query;
    }
  }
}

TEST_F(ClassifyTest, AddressFormsAreAddressQueries) {
  for (const char* query : {"2001:db8::1", "AS3333", "as3333", "192.0.2.0/24", "2001:db8::/32", "::ffff:1.2.3.4"}) {
    // Prefixes and AS numbers have no name to resolve; addresses are resolved
    // only when asked (below, in the fake internet).
    Settings.ReverseIP = std::strchr(query, '/') || (query[0] | 0x20) == 'a' ? 1 : 0;
    target = LookupTarget{};
    EXPECT_EQ(Classify(query), nullptr) << query;
    EXPECT_EQ(target.Kind, IpAddress) << query;
    EXPECT_STREQ(target.IP, query);
    EXPECT_STREQ(target.Host, "");
    EXPECT_STREQ(target.Domain, "");
    EXPECT_EQ(sink.Text(), std::string("Checking IP: ") + query + "...\nIP:\t\t" + query + "\n");
    EXPECT_EQ(sink.Status().back(), std::make_pair(2, std::string("IP: ") + query));
  }
  struct Bad {
    const char* query;
    const char* message;
  } bad[] = {
      {"1::2::3", "Invalid IP address."},
      {"192.0.2.0/33", "Invalid IP address."},
      {"AS4294967296", "Invalid AS number."},
  };
  for (const Bad& b : bad) {
    EXPECT_EQ(Classify(b.query), nullptr) << b.query;
    EXPECT_EQ(target.IP[0], '\0') << b.query;
    EXPECT_EQ(sink.Pieces().back().Kind, Error) << b.query;
    EXPECT_EQ(sink.Pieces().back().Text, b.message) << b.query;
  }
}

// An IPv6 address is resolved to its name (ip6.arpa) like an IPv4 one. Only
// in the fake internet, whose resolver knows no such name.
TEST_F(ClassifyTest, IPv6AddressesAreReverseResolved) {
  const char* flag = std::getenv("MERROWGATE_FAKE_INTERNET");
  if (!flag || std::strcmp(flag, "1") != 0) GTEST_SKIP() << "resolves: runs in the fake internet only";
  Settings.ReverseIP = 1;
  EXPECT_EQ(Classify("2001:db8::1"), nullptr);
  EXPECT_EQ(sink.Text(),
            "Checking IP: 2001:db8::1...\nResolving IP: 2001:db8::1...\nFailed Domain Lookup.\n"
            "IP:\t\t2001:db8::1\n");
}

// "ü" and "Ü" as the 8-bit text of each platform: the ANSI code page 1252
// under Wine; on POSIX the C locale of the tests, whose bytes count as UTF-8.
#ifdef _WIN32
#define SMALL_U_UMLAUT "\xfc"
#define CAPITAL_U_UMLAUT "\xdc"
#else
#define SMALL_U_UMLAUT "\xc3\xbc"
#define CAPITAL_U_UMLAUT "\xc3\x9c"
#endif

TEST_F(ClassifyTest, InternationalisedNamesAreLookedUpInTheirAsciiForm) {
  struct Case {
    const char* typed;    // the 8-bit text of the box
    const char* unicode;  // its UTF-8 text where the box has one
    const char* host;
    const char* server;
    const char* firstLine;
  } cases[] = {
      {"b" SMALL_U_UMLAUT "cher.de", nullptr, "xn--bcher-kva.de", "whois.denic.de",
       "IDN: b" SMALL_U_UMLAUT "cher.de -> xn--bcher-kva.de\n"},
      {"www.B" CAPITAL_U_UMLAUT "CHER.de", nullptr, "www.xn--bcher-kva.de", "whois.denic.de",
       "IDN: www.B" CAPITAL_U_UMLAUT "CHER.de -> www.xn--bcher-kva.de\n"},
      // A Western window: the 8-bit text has lost the Japanese letters.
      {"??.jp", "\xe4\xbe\x8b\xe3\x81\x88.jp", "xn--r8jz45g.jp", JpServer, "IDN: ??.jp -> xn--r8jz45g.jp\n"},
      {"  http://??.jp/x", "  http://\xe4\xbe\x8b\xe3\x81\x88.jp/x", "xn--r8jz45g.jp", JpServer,
       "IDN: ??.jp -> xn--r8jz45g.jp\n"},
      {"xn--bcher-kva.de", nullptr, "xn--bcher-kva.de", "whois.denic.de", "Hostname:\txn--bcher-kva.de\n"},
      {"Example.COM", "Example.COM", "Example.COM", ComNetServer, "Hostname:\tExample.COM\n"},
  };
  for (const Case& c : cases) {
    target = LookupTarget{};
    sink.SetUtf8Query(c.unicode ? std::optional<std::string>(c.unicode) : std::nullopt);
    EXPECT_STREQ(Classify(c.typed), c.server) << c.typed;
    EXPECT_STREQ(target.Host, c.host) << c.typed;
    EXPECT_EQ(target.Kind, HostName) << c.typed;
    const std::string text = sink.Text();
    EXPECT_EQ(text.substr(0, text.find('\n') + 1), c.firstLine) << text;
    EXPECT_NE(text.find(std::string("Domain:\t") + (strncmp(c.host, "www.", 4) ? c.host : c.host + 4) + "\n"),
              std::string::npos)
        << text;
  }
  sink.SetUtf8Query(std::nullopt);
}

TEST_F(ClassifyTest, NamesWithoutAsciiFormAreNotLookedUp) {
  const std::string longLabel = "b" SMALL_U_UMLAUT + std::string(70, 'a') + ".de";
  struct Case {
    std::string typed;
    const char* unicode;
  } cases[] = {
      {longLabel, nullptr},       // a label of more than 63 characters
      {"x?.de", "x\xcd\xb8.de"},  // U+0378 is unassigned
#ifndef _WIN32
      {"b\xfc"
       "cher.de",
       nullptr},  // not UTF-8
#endif
  };
  for (const Case& c : cases) {
    target = LookupTarget{};
    sink.SetUtf8Query(c.unicode ? std::optional<std::string>(c.unicode) : std::nullopt);
    EXPECT_EQ(Classify(c.typed), nullptr) << c.typed;
    EXPECT_STREQ(target.Host, "");
    EXPECT_STREQ(target.Domain, "");
    ASSERT_FALSE(sink.Pieces().empty());
    EXPECT_EQ(sink.Pieces().back().Kind, Error) << c.typed;
    EXPECT_EQ(sink.Pieces().back().Text.rfind("IDN: " + c.typed + " has no ASCII form: ", 0), 0u)
        << sink.Pieces().back().Text;
  }
  sink.SetUtf8Query(std::nullopt);
}

TEST_F(ClassifyTest, KindsOfTheMessages) {
  Classify("1.2.3.4");
  for (const auto& p : sink.Pieces()) EXPECT_EQ(p.Kind, p.Text.rfind("Checking", 0) == 0 ? Info : Plain);
  Classify("example.com");
  ASSERT_FALSE(sink.Pieces().empty());
  EXPECT_EQ(sink.Pieces().back().Kind, Highlight);
  EXPECT_EQ(sink.Pieces().back().Text, "Domain:\texample.com\n");
  Classify("0");
  EXPECT_EQ(sink.Pieces().back().Kind, Error);
}

TEST_F(ClassifyTest, EmptyQueryLeavesThePaneAlone) {
  for (const char* q : {"", "   ", " \t  "}) {
    sink.AppendOutput(Plain, "kept");
    const int clears = sink.Clears();
    EXPECT_EQ(Classify(q), nullptr);
    EXPECT_EQ(sink.Clears(), clears) << "'" << q << "'";
    EXPECT_EQ(sink.Text(), "kept");
    EXPECT_TRUE(sink.Status().empty());
    sink.ClearOutput();
  }
}

TEST_F(ClassifyTest, StatusTexts) {
  Classify("16909060");
  auto status = sink.Status();
  ASSERT_EQ(status.size(), 3u);
  EXPECT_EQ(status[0], std::make_pair(1, std::string("Domain:")));
  EXPECT_EQ(status[1], std::make_pair(2, std::string("IP:")));
  EXPECT_EQ(status[2], std::make_pair(2, std::string("IP: 1.2.3.4")));
  sink.ClearOutput();
  Classify("example.net");
  status = sink.Status();
  EXPECT_EQ(status.back(), std::make_pair(1, std::string("Domain: example.net")));
}

TEST_F(ClassifyTest, OverlongTextsAreCutToTheirFields) {
  const std::string longName = std::string(300, 'a') + ".com";
  EXPECT_NE(Classify(longName), nullptr);
  EXPECT_EQ(std::strlen(target.Host), static_cast<size_t>(HostCapacity - 1));
  EXPECT_EQ(std::string(target.Host), longName.substr(0, HostCapacity - 1));
  const std::string longAddress = "1.2.3.4" + std::string(40, '.');
  EXPECT_EQ(Classify(longAddress), nullptr);  // cut to 31 characters, then invalid
  EXPECT_EQ(target.IP[0], '\0');
  // A query longer than the box's buffer is read cut, never past it.
  EXPECT_EQ(Classify(std::string(5000, 'b') + ".org"), DefaultWhoisServer);
}

TEST_F(ClassifyTest, CancelAtTheEndGivesNoServer) {
  CancelFlag = 1;
  EXPECT_EQ(Classify("example.com"), nullptr);
  EXPECT_STREQ(target.Domain, "example.com");  // the classification itself ran
}

TEST_F(ClassifyTest, ResolvesThroughTheHostsFile) {
  Settings.ResolveDomain = 1;
  Settings.ReverseIP = 1;
  Classify("localhost");
  EXPECT_EQ(target.Kind, HostName);
  EXPECT_STREQ(target.IP, "127.0.0.1");
  const std::string text = sink.Text();
  EXPECT_NE(text.find("Resolving Host: localhost...\n"), std::string::npos) << text;
  EXPECT_NE(text.find("Name:\t\t"), std::string::npos) << text;
  EXPECT_NE(text.find("IP:\t\t127.0.0.1"), std::string::npos) << text;

  Classify("127.0.0.1");
  EXPECT_EQ(target.Kind, IpAddress);
  EXPECT_STREQ(target.IP, "127.0.0.1");
  EXPECT_NE(target.Host[0], '\0');  // the official name of the loopback address
  EXPECT_NE(sink.Text().find("Resolving IP: 127.0.0.1...\n"), std::string::npos);
}

TEST_F(ClassifyTest, FailedResolutionDoesNotStopTheLookup) {
  Settings.ResolveDomain = 1;
  const char* server = Classify("no-such-host.invalid");
  EXPECT_STREQ(server, DefaultWhoisServer);
  EXPECT_EQ(target.IP[0], '\0');
  const std::string text = sink.Text();
  EXPECT_NE(text.find("Failed Domain Lookup.\n"), std::string::npos);
  EXPECT_NE(text.find("Hostname:\tno-such-host.invalid\n"), std::string::npos);
}

}  // namespace
