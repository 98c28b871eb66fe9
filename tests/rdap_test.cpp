// RDAP: address texts, the bootstrap's lookup rules and its cache, and the
// readable lines of recorded registry answers.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "engine/rdap_bootstrap.h"
#include "engine/rdap_refresh.h"
#include "engine/rdap_render.h"
#include "net/rdap_transport.h"
#include "tests/support/recording_sink.h"
#include "tests/support/temp_files.h"

namespace {

TEST(RdapAddressText, Table) {
  struct Case {
    const char* text;
    bool v4, v6;
    std::uint8_t last;  // the last byte, when it parses
  } cases[] = {
      {"86.54.11.1", true, false, 1},
      {"255.255.255.255", true, false, 255},
      {"256.1.1.1", false, false, 0},
      {"1.2.3", false, false, 0},
      {"1.2.3.4.", false, false, 0},
      {"::", false, true, 0},
      {"::1", false, true, 1},
      {"2001:db8::7", false, true, 7},
      {"2001:DB8:0:0:0:0:0:ff", false, true, 0xff},
      {"::ffff:192.0.2.9", false, true, 9},
      {"1::", false, true, 0},
      {"1:2:3:4:5:6:7:8", false, true, 8},
      {"1:2:3:4:5:6:7:8:9", false, false, 0},
      {"1::2::3", false, false, 0},
      {":1", false, false, 0},
      {"1:", false, false, 0},
      {"12345::", false, false, 0},
      {"g::", false, false, 0},
      {"1:2:3:4:5:6:7::8", false, false, 0},
      // Leading zeros would be octal to inet_addr: no address, as in a query.
      {"086.54.11.1", false, false, 0},
      {"::ffff:192.0.2.09", false, false, 0},
  };
  for (const Case& c : cases) {
    std::uint8_t four[4] = {}, sixteen[16] = {};
    EXPECT_EQ(ParseIPv4Text(c.text, four), c.v4) << c.text;
    EXPECT_EQ(ParseIPv6Text(c.text, sixteen), c.v6) << c.text;
    if (c.v4) {
      EXPECT_EQ(four[3], c.last) << c.text;
    }
    if (c.v6) {
      EXPECT_EQ(sixteen[15], c.last) << c.text;
    }
  }
}

TEST(RdapTimestamp, Table) {
  EXPECT_EQ(ParseRdapTimestamp("1970-01-01T00:00:00Z"), 0);
  EXPECT_EQ(ParseRdapTimestamp("2019-06-07T19:00:02Z"), 1559934002);
  EXPECT_EQ(ParseRdapTimestamp("2000-03-01T00:00:00Z"), 951868800);  // after a leap day
  for (const char* bad : {"", "2019-06-07", "2019-13-07T19:00:02Z", "yesterday at noon!!"})
    EXPECT_EQ(ParseRdapTimestamp(bad), -1) << bad;
}

// The built-in copies of data/rdap/, and the URL each query goes to.
TEST(RdapQueryUrl, BuiltInBootstrap) {
  SetRdapCacheFolder((std::filesystem::temp_directory_path() / "merrowgate-no-cache").string());
  ResetRdapBootstrap();
  struct Case {
    const char* object;
    const char* url;
  } cases[] = {
      {"google.com", "https://rdap.verisign.com/com/v1/domain/google.com"},
      {"Example.INFO.", "https://rdap.identitydigital.services/rdap/domain/example.info"},
      {"www.example.co.uk", "https://rdap.nominet.uk/uk/domain/www.example.co.uk"},
      {"example.dev", "https://pubapi.registry.google/rdap/domain/example.dev"},
      {"shop.example.APP", "https://pubapi.registry.google/rdap/domain/shop.example.app"},
      {"example.xyz", "https://rdap.centralnic.com/xyz/domain/example.xyz"},
      {"nic.aramco", "https://rdap.nic.aramco/domain/nic.aramco"},  // a brand without a whois server
      {"example.xn--q9jyb4c", "https://pubapi.registry.google/rdap/domain/example.xn--q9jyb4c"},
      {"example.kg", ""},  // listed with a plain http service only
      {"example.de", ""},  // not listed by IANA
      {"86.54.11.1", "https://rdap.db.ripe.net/ip/86.54.11.1"},
      {"192.198.0.0/22", "https://rdap.arin.net/registry/ip/192.198.0.0/22"},
      {"2600::1", "https://rdap.arin.net/registry/ip/2600::1"},
      {"2a00:1450::1", "https://rdap.db.ripe.net/ip/2a00:1450::1"},
      {"AS16509", "https://rdap.arin.net/registry/autnum/16509"},
      {"as36864", "https://rdap.afrinic.net/rdap/autnum/36864"},
      {"10.0.0.1", ""},       // no registry holds it
      {"1.2.3.4/33", ""},     // no such prefix
      {"x.nosuchtld", ""},    //
      {"a/b.com", ""},        // never a path of our making
      {"evil.com?x=1#", ""},  //
      {"AS4294967296", ""},   // past 32 bits: neither a number nor a name
      {"086.54.11.1", ""},    // leading zeros: octal to inet_addr, so no address
  };
  for (const Case& c : cases) EXPECT_EQ(RdapQueryUrl(c.object), c.url) << c.object;
  EXPECT_EQ(RdapTable(RdapRegistry::Dns)->Names.size(), 1197u);  // 1,199 less the two on plain http
  // The publication written beside each file is the file's own.
  const std::pair<const char*, const char*> builtIn[] = {{RdapBuiltIn_dns, RdapBuiltInPublication_dns},
                                                         {RdapBuiltIn_ipv4, RdapBuiltInPublication_ipv4},
                                                         {RdapBuiltIn_ipv6, RdapBuiltInPublication_ipv6},
                                                         {RdapBuiltIn_asn, RdapBuiltInPublication_asn}};
  for (int r = 0; r < RdapRegistryCount; ++r) {
    RdapServiceTable table;
    ASSERT_TRUE(ParseRdapBootstrap(builtIn[r].first, static_cast<RdapRegistry>(r), table));
    EXPECT_EQ(table.Publication, builtIn[r].second);
    EXPECT_GT(ParseRdapTimestamp(table.Publication), 0);
  }
  ResetRdapBootstrap();
}

TEST(RdapBootstrap, LongestMatchAndHttpsFirst) {
  RdapServiceTable dns, v4, asn;
  ASSERT_TRUE(
      ParseRdapBootstrap(R"({"services":[[["uk"],["https://uk/"]],[["co.uk"],["http://plain/","https://co/"]]]})",
                         RdapRegistry::Dns, dns));
  EXPECT_EQ(FindDomainService(dns, "a.b.CO.UK"), "https://co/");
  EXPECT_EQ(FindDomainService(dns, "a.org.uk"), "https://uk/");
  EXPECT_EQ(FindDomainService(dns, "uk.com"), "");
  ASSERT_TRUE(
      ParseRdapBootstrap(R"({"services":[[["10.0.0.0/8"],["https://broad"]],[["10.1.0.0/16"],["https://narrow/"]]]})",
                         RdapRegistry::Ipv4, v4));
  const std::uint8_t inNarrow[4] = {10, 1, 2, 3}, inBroad[4] = {10, 2, 0, 0};
  EXPECT_EQ(FindAddressService(v4, inNarrow, 32), "https://narrow/");
  EXPECT_EQ(FindAddressService(v4, inBroad, 32), "https://broad/");   // a base URL ends in "/"
  EXPECT_EQ(FindAddressService(v4, inNarrow, 12), "https://broad/");  // a /12 is not inside the /16
  ASSERT_TRUE(ParseRdapBootstrap(R"({"services":[[["1-10","64512"],["https://a/"]]]})", RdapRegistry::Asn, asn));
  EXPECT_EQ(FindAsnService(asn, 10), "https://a/");
  EXPECT_EQ(FindAsnService(asn, 64512), "https://a/");
  EXPECT_EQ(FindAsnService(asn, 11), "");

  RdapServiceTable t;
  for (const char* bad : {"", "[]", "{}", R"({"services":{}})", R"({"services":[[["com"],[]]]})",
                          R"({"services":[[["com"],["ftp://x/"]]]})", R"({"services":[["com","https://x/"]]})",
                          R"({"services":[[["com"],["http://x/","https://u:p@x/","HTTPS://x/","https:///"]]]})"})
    EXPECT_FALSE(ParseRdapBootstrap(bad, RdapRegistry::Dns, t)) << bad;
  // A key listed twice keeps its first service; a plain-http-only key is noted, not served.
  ASSERT_TRUE(ParseRdapBootstrap(R"({"services":[[["b","a"],["https://1/"]],[["a","c"],["https://2/"]],)"
                                 R"([["Plain"],["http://p/"]]]})",
                                 RdapRegistry::Dns, t));
  EXPECT_EQ(FindDomainService(t, "x.a"), "https://1/");
  EXPECT_EQ(FindDomainService(t, "x.c"), "https://2/");
  EXPECT_EQ(FindDomainService(t, "x.plain"), "");
  EXPECT_EQ(t.Unserved, std::vector<std::string>{"plain"});
  EXPECT_FALSE(ParseRdapBootstrap(R"({"services":[[["1.2.3.0/40","x"],["https://x/"]]]})", RdapRegistry::Ipv4, t));
}

// A cached copy beside the settings file is used when it is newer than the
// built-in one; an older or broken one is not.
TEST(RdapBootstrap, CachedCopy) {
  const auto folder = std::filesystem::temp_directory_path() / "merrowgate-rdap-cache";
  std::filesystem::create_directories(folder);
  SetRdapCacheFolder(folder.string());
  EXPECT_EQ(RdapCachePath(RdapRegistry::Dns), (folder / "merrowgate-rdap-dns.json").string());
  struct Case {
    RdapRegistry registry;
    std::string text;
    const char* query;
    const char* url;
  } cases[] = {
      {RdapRegistry::Dns, R"({"publication":"2099-01-01T00:00:00Z","services":[[["com"],["https://new/"]]]})", "a.com",
       "https://new/domain/a.com"},
      {RdapRegistry::Ipv4, R"({"publication":"2001-01-01T00:00:00Z","services":[[["86.0.0.0/8"],["https://old/"]]]})",
       "86.1.1.1", "https://rdap.db.ripe.net/ip/86.1.1.1"},  // older than the built-in copy
      {RdapRegistry::Dns, R"({"publication":"2099-01-01T00:00:00Z",)", "a.com",
       "https://rdap.verisign.com/com/v1/domain/a.com"},  // cut short
  };
  for (const Case& c : cases) {
    WriteFile(RdapCachePath(c.registry), c.text);
    ResetRdapBootstrap();
    EXPECT_EQ(RdapQueryUrl(c.query), c.url) << c.text;
    std::filesystem::remove(RdapCachePath(c.registry));
  }
  std::filesystem::remove_all(folder);
  ResetRdapBootstrap();
  SetRdapCacheFolder({});
}

// What the fake IANA of the refresh tests answers.
std::string ianaAnswer;
void FakeIana(const ProxyOptions&, StopFlags, const std::string&, RdapFetch& fetch) {
  fetch = RdapFetch{};
  fetch.Status = 200;
  fetch.Body = ianaAnswer;
}

// The refresh takes a newer copy only when it serves over https what the copy
// in use did, and writes it without following what lies under the
// temporary name.
TEST(RdapBootstrap, RefreshKeepsHttpsAndTheCache) {
  const auto folder = std::filesystem::temp_directory_path() / "merrowgate-rdap-refresh";
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  SetRdapCacheFolder(folder.string());
  const std::string cache = RdapCachePath(RdapRegistry::Dns), victim = (folder / "victim").string();
  const std::string old = R"({"publication":"2000-01-01T00:00:00Z","services":[[["com","org"],["https://old/"]]]})";
  struct Case {
    const char* fresh;
    bool plant;          // a link to `victim` (or a file) under the temporary name
    const char* comUrl;  // the service for .com afterwards
    bool cached;         // the fresh copy was written to the cache
  } cases[] = {
      {R"({"publication":"2001-01-01T00:00:00Z","services":[[["com"],["https://new/"]]]})", false, "https://new/",
       true},
      {R"({"publication":"2001-01-01T00:00:00Z","services":[[["com"],["https://new/"]]]})", true, "https://new/", true},
      {R"({"publication":"2001-01-01T00:00:00Z","services":[[["com","org"],["http://new/"]]]})", false, "https://old/",
       false},  // nothing but plain http
      {R"({"publication":"2001-01-01T00:00:00Z","services":[[["net"],["https://n/"]],[["org"],["http://o/"]]]})", false,
       "https://old/", false},  // .org would lose its https service
      {R"({"publication":"1999-01-01T00:00:00Z","services":[[["com"],["https://older/"]]]})", false, "https://old/",
       false},
  };
  for (const Case& c : cases) {
    std::filesystem::remove(cache);
    std::filesystem::remove(cache + ".new");
    WriteFile(victim, "keep me");
    if (c.plant) {  // a link where the system makes one, else a file left behind
      std::error_code error;
      std::filesystem::create_symlink(victim, cache + ".new", error);
      if (error) WriteFile(cache + ".new", "left behind");
    }
    RdapServiceTable inUse;
    ASSERT_TRUE(ParseRdapBootstrap(old, RdapRegistry::Dns, inUse));
    UseRdapTable(RdapRegistry::Dns, inUse);
    ianaAnswer = c.fresh;
    ResetRdapRefresh();
    RefreshRdapBootstrapWith(FakeIana, ProxyOptions{}, TestStopFlags());
    EXPECT_EQ(FindDomainService(*RdapTable(RdapRegistry::Dns), "a.com"), c.comUrl) << c.fresh;
    EXPECT_EQ(std::filesystem::exists(cache) ? ReadFile(cache) : "", c.cached ? c.fresh : "") << c.fresh;
    EXPECT_EQ(ReadFile(victim), "keep me") << c.fresh;
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(cache + ".new"))) << c.fresh;
  }
  std::filesystem::remove_all(folder);
  ResetRdapRefresh();
  ResetRdapBootstrap();
  SetRdapCacheFolder({});
}

TEST(RdapBootstrap, LosesHttpsService) {
  struct Case {
    RdapRegistry registry;
    const char* inUse;
    const char* fresh;
    bool loses;
  } cases[] = {
      {RdapRegistry::Dns, R"([[["com"],["https://a/"]]])", R"([[["com"],["http://a/"]],[["net"],["https://n/"]]])",
       true},
      {RdapRegistry::Dns, R"([[["com"],["https://a/"]]])", R"([[["com"],["http://a/"]],[["com"],["https://b/"]]])",
       false},  // still served, by another entry
      {RdapRegistry::Dns, R"([[["com"],["https://a/"]]])", R"([[["org"],["http://o/"]],[["net"],["https://n/"]]])",
       false},  // nothing the copy in use served
      {RdapRegistry::Dns, R"([[["com"],["https://a/"]]])", R"([[["net"],["https://n/"]]])", false},  // .com retired
      {RdapRegistry::Ipv4, R"([[["10.0.0.0/8"],["https://a/"]]])",
       R"([[["10.1.0.0/16"],["http://p/"]],[["11.0.0.0/8"],["https://b/"]]])", true},
      {RdapRegistry::Asn, R"([[["1-100"],["https://a/"]]])", R"([[["50-60"],["http://p/"]],[["200"],["https://b/"]]])",
       true},
  };
  for (const Case& c : cases) {
    RdapServiceTable inUse, fresh;
    ASSERT_TRUE(ParseRdapBootstrap(std::string(R"({"services":)") + c.inUse + "}", c.registry, inUse));
    ASSERT_TRUE(ParseRdapBootstrap(std::string(R"({"services":)") + c.fresh + "}", c.registry, fresh));
    EXPECT_EQ(LosesHttpsService(inUse, fresh, c.registry), c.loses) << c.fresh;
  }
}

std::string Recorded(const char* name) {
  return ReadFile(std::string(MERROWGATE_SOURCE_DIR) + "/tests/data/rdap/" + name);
}

// Every recorded answer shows its name, status, dates, entities and notices.
TEST(RdapRender, RecordedAnswers) {
  struct Case {
    const char* file;
    std::vector<std::string> lines;
  } cases[] = {
      {"com-registry.json",
       {"Domain:\t\tGOOGLE.COM\n", "Status:\t\tclient delete prohibited\n", "Registered:\t1997-09-15 04:00:00 UTC\n",
        "Registrar:\t292\n", "\t\tmailto:abusecomplaints@markmonitor.com\n", "Notice:\t\tTerms of Use\n"}},
      {"com-registrar.json",
       {"Domain:\t\texample.com\n", "Last changed:\t2020-05-28 01:35:00 UTC\n", "Registrant:\tXXXX\n",
        "\tName:\t\t(empty)\n", "Redacted:\tRegistrant Name (emptyValue: Server policy)\n",
        "Redacted:\tTechnical Fax (Client request)\n"}},
      {"info-domain.json",
       {"Domain:\t\texample.info\n", "Expires:\t2026-07-31 23:57:50 UTC\n",
        "\t\tDS key tag 370, algorithm 13, digest type 2\n", "\tName:\t\tREDACTED FOR PRIVACY\n",
        "Redacted:\tRegistrant Email (removal: Server policy)\n"}},
      {"network-arin.json",
       {"Network:\t192.198.0.0 - 192.198.3.255 (RADIOLINK-ARIN-1)\n", "Type:\t\tDIRECT ALLOCATION\n",
        "Status:\t\tactive\n", "Registered:\t2013-01-31 18:11:17 -05:00\n", "\tAddress:\t8162 SW 81st St\n",
        "\t\tTelephone:\t+1-507-417-4176\n", "\tRemark:\t\tRegistration Comments\n", "Notice:\t\tCopyright Notice\n"}},
      {"network-ripe.json",
       {"Network:\t86.54.11.0 - 86.54.11.255 (CZ-WHALEBONEDNS-20050512)\n", "Last changed:\t2025-06-10 22:44:59 UTC\n",
        "Administrative, technical:\tTS40827-RIPE\n", "Notice:\t\tFiltered\n"}},
      {"autnum-arin.json",
       {"AS number:\tAS16509 (AMAZON-02)\n", "Handle:\t\tAS16509\n", "Registered:\t2000-05-04 00:00:00 -04:00\n",
        "Registrant:\tAMAZON-4\n", "\tAbuse:\t\tAEA8-ARIN\n", "Notice:\t\tTerms of Service\n"}},
  };
  for (const Case& c : cases) {
    RecordingSink sink;
    SinkScope scope(&sink);
    ShowRdapAnswer(Output(), 200, "rdap.test", Recorded(c.file));
    const std::string text = sink.Text();
    for (const std::string& line : c.lines) EXPECT_NE(text.find(line), std::string::npos) << c.file << ": " << line;
    EXPECT_EQ(sink.TextOf(Error), "") << c.file;
    for (const auto& piece : sink.Pieces())  // e-mail addresses are links, and only they
      EXPECT_EQ(piece.Kind == MailLink, piece.Text.rfind("mailto:", 0) == 0) << c.file << ": " << piece.Text;
  }
}

TEST(RdapRender, ErrorsAndLinks) {
  struct Case {
    long status;
    std::string body;
    const char* error;
  } cases[] = {
      {501, Recorded("error-ripe.json"),
       "RDAP error 501 from rdap.test: 501 Not Implemented\nNameserver not supported\n"},
      {200, R"({"errorCode":404,"title":"Not Found"})", "RDAP error 404 from rdap.test: Not Found\n"},
      {503, "<html>", "RDAP error 503 from rdap.test\n"},
      {200, "<html>", "RDAP answer from rdap.test (status 200) is not JSON\n"},
      {200, "[1,2]", "RDAP answer from rdap.test (status 200) is not an RDAP object\n"},
      {200, std::string(100, '[') + std::string(100, ']'),
       "RDAP answer from rdap.test is nested too deeply: refused\n"},
      {200, R"({"objectClassName":"domain","ldhName":"\u001b]2;x\u0007","notices":[{"title":"a\r\nb"}]})", ""},
  };
  for (const Case& c : cases) {
    RecordingSink sink;
    SinkScope scope(&sink);
    EXPECT_EQ(ShowRdapAnswer(Output(), c.status, "rdap.test", c.body), "");
    EXPECT_EQ(sink.TextOf(Error), c.error) << c.body.substr(0, 40);
    EXPECT_EQ(sink.Text().find('\x1b'), std::string::npos);
    EXPECT_EQ(sink.Text().find("a\r"), std::string::npos);
  }
  RecordingSink sink;
  SinkScope scope(&sink);
  EXPECT_EQ(ShowRdapAnswer(Output(), 200, "rdap.verisign.com", Recorded("com-registry.json")),
            "https://rdap.markmonitor.com/rdap/domain/GOOGLE.COM");
  EXPECT_EQ(RelatedRdapLink(nlohmann::json::parse(R"({"links":[{"rel":"related","href":"http://x/"},)"
                                                  R"({"rel":"related","type":"text/html","href":"https://y/"}]})")),
            "");
  EXPECT_EQ(RelatedRdapLink(nlohmann::json::parse(R"({"links":[{"rel":"related","href":"https://user:secret@x/d"},)"
                                                  R"({"rel":"related","href":"https://z/d"}]})")),
            "https://z/d");
  RenderRdapObject(Output(),
                   nlohmann::json::parse(R"({"notices":[{"title":"T","links":[{"href":"https://u:secret@x/t"}]}]})"));
  EXPECT_EQ(sink.Text().find("secret"), std::string::npos);
  EXPECT_NE(sink.Text().find("https://x/t"), std::string::npos);
}

}  // namespace
