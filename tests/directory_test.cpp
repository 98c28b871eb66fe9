// The server directory: table shape, group sharing and the lookup rule.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "engine/directory.h"

namespace {

std::vector<std::string> Keys(const ServerEntry* table) {
  std::vector<std::string> keys;
  for (const ServerEntry* e = table; e->Key[0]; ++e) keys.push_back(e->Key);
  return keys;
}

std::string ServerOf(const ServerEntry* table, const std::string& key) {
  for (const ServerEntry* e = table; e->Key[0]; ++e)
    if (key == e->Key) return e->Server;
  return {};
}

TEST(Directory, TablesHoldTheirRowsInOrder) {
  const auto tlds = Keys(TldServers);
  const auto suffixes = Keys(SuffixServers);
  ASSERT_EQ(tlds.size(), 129u);
  ASSERT_EQ(suffixes.size(), 24u);
  // Alphabetical except that il follows int and pk follows pl.
  auto at = [&](const std::string& k) { return std::find(tlds.begin(), tlds.end(), k) - tlds.begin(); };
  EXPECT_EQ(at("il"), at("int") + 1);
  EXPECT_EQ(at("pk"), at("pl") + 1);
  for (size_t i = 1; i < tlds.size(); ++i) {
    if (tlds[i] == "il" || tlds[i] == "pk" || tlds[i - 1] == "il" || tlds[i - 1] == "pk") continue;
    EXPECT_LT(tlds[i - 1], tlds[i]);
  }
  for (const auto* keys : {&tlds, &suffixes}) {
    EXPECT_EQ(std::set<std::string>(keys->begin(), keys->end()).size(), keys->size()) << "duplicate key";
    for (const auto& k : *keys)
      for (char c : k) EXPECT_FALSE(c >= 'A' && c <= 'Z') << k;
  }
  EXPECT_EQ(suffixes.front(), "asn.au");
  EXPECT_EQ(suffixes.back(), "pub.sa");
}

TEST(Directory, RowsShareServersByGroup) {
  const std::map<std::string, std::vector<std::string>> groups = {
      {"T1", {"ad", "al", "az", "ba", "bg", "by", "cy", "dz", "ee", "eg", "es", "fi", "fo", "ga", "gb", "ge", "gl",
              "gm", "gr", "hr", "jo", "lv", "ma", "mc", "md", "mk", "mt", "sk", "sm", "tn", "tr", "va", "yu"}},
      {"T2", {"com", "net"}},
      {"T3", {"gs", "ms", "tc", "tf", "vg"}},
      {"T4", {"gg", "je"}},
  };
  std::map<std::string, int> uses;  // how many rows name each server
  for (const ServerEntry* e = TldServers; e->Key[0]; ++e) ++uses[e->Server];
  for (const ServerEntry* e = SuffixServers; e->Key[0]; ++e) ++uses[e->Server];
  size_t grouped = 0;
  for (const auto& [group, keys] : groups) {
    const std::string server = ServerOf(TldServers, keys[0]);
    for (const auto& k : keys) EXPECT_EQ(ServerOf(TldServers, k), server) << group << " " << k;
    EXPECT_EQ(uses[server], static_cast<int>(keys.size())) << group;
    grouped += keys.size();
  }
  // Every other top-level row has a server of its own.
  size_t own = 0;
  for (const ServerEntry* e = TldServers; e->Key[0]; ++e)
    if (uses[e->Server] == 1) ++own;
  EXPECT_EQ(own, 87u);
  EXPECT_EQ(grouped + own, 129u);
  EXPECT_EQ(uses[ServerOf(SuffixServers, "com.au")], 5);
  EXPECT_EQ(uses[ServerOf(SuffixServers, "uk.com")], 6);
  EXPECT_EQ(uses[ServerOf(SuffixServers, "gov.hk")], 5);
  EXPECT_EQ(uses[ServerOf(SuffixServers, "pub.sa")], 8);
  EXPECT_STREQ(ComNetServer, ServerOf(TldServers, "com").c_str());
  EXPECT_STREQ(JpServer, ServerOf(TldServers, "jp").c_str());
}

TEST(Directory, FindWhoisServer) {
  const std::string au = ServerOf(TldServers, "au");
  const std::string comAu = ServerOf(SuffixServers, "com.au");
  const std::string ripe = ServerOf(TldServers, "gb");
  const std::string centralNic = ServerOf(SuffixServers, "gb.com");
  struct Case {
    const char* name;
    std::string server;  // empty: nothing found
  } cases[] = {
      {"example.com.au", comAu},
      {"com.au", au},  // a suffix alone is looked up by its top-level label
      {"www.example.com.au", comAu},
      {"shop.com.hk", ServerOf(SuffixServers, "com.hk")},
      {"foo.gov.sa", ServerOf(SuffixServers, "gov.sa")},
      {"com.hk", ""},
      {"example.hk", ""},
      {"foo.bar.sa", ""},
      {"EXAMPLE.COM", ComNetServer},
      {"Example.Jp", JpServer},
      {"example", ""},
      {".com", ""},
      {"example.com.", ""},
      {"", ""},
      {"name.gb.com", centralNic},
      {"name.gb", ripe},
      {".gb.com", centralNic},  // a leading dot counts as a third label
      {"a..com", ComNetServer},
      {"example.co", ""},  // keys match whole labels only
      {"example.comx", ""},
      {"example.museum", ServerOf(TldServers, "museum")},
      {"x.y.z.uk.com", centralNic},
  };
  for (const Case& c : cases) {
    const char* found = FindWhoisServer(c.name);
    EXPECT_EQ(found ? std::string(found) : std::string(), c.server) << c.name;
  }
}

TEST(Directory, FindTldKindAfterTheOwnTables) {
  const std::string long_name = "x." + std::string(80, 'a');  // outlives the table
  struct Case {
    const char* name;
    TldKind kind;
    const char* server;  // nullptr: none
  } cases[] = {
      {"example.com", TldKind::Listed, ComNetServer},
      {"shop.com.hk", TldKind::Listed, "whois.hkirc.hk"},   // the suffix row, not the list's hk row
      {"example.info", TldKind::Listed, "whois.nic.info"},  // the list says none; the own row wins
      {"example.gb", TldKind::Listed, "whois.ripe.net"},
      {"example.io", TldKind::Whois, "whois.nic.io"},
      {"EXAMPLE.IO", TldKind::Whois, "whois.nic.io"},
      {"example.hk", TldKind::Whois, "whois.hkirc.hk"},
      {"foo.bar.sa", TldKind::Whois, "whois.nic.net.sa"},
      {"example.aaa", TldKind::Whois, "whois.nic.aaa"},  // the first row
      {"example.zuerich", TldKind::Whois, "whois.nic.zuerich"},
      {"example.zw", TldKind::None, nullptr},  // the last row
      {"example.bs", TldKind::None, nullptr},
      {"example.ao", TldKind::Web, nullptr},
      {"x.xn--node", TldKind::Whois, "whois.itdc.ge"},  // a web form until IANA listed the server
      {"example.bd", TldKind::Web, nullptr},
      {"example", TldKind::Unknown, nullptr},
      {".io", TldKind::Unknown, nullptr},
      {"example.io.", TldKind::Unknown, nullptr},
      {"example.i", TldKind::Unknown, nullptr},
      {"example.ioo", TldKind::Unknown, nullptr},
      {"example.invalid", TldKind::Unknown, nullptr},
      {long_name.c_str(), TldKind::Unknown, nullptr},
  };
  for (const Case& c : cases) {
    const char* server = "unset";
    EXPECT_EQ(FindTldKind(c.name, &server), c.kind) << c.name;
    EXPECT_EQ(server ? std::string(server) : "(none)", c.server ? std::string(c.server) : "(none)") << c.name;
  }
  EXPECT_EQ(FindTldKind("example.io", nullptr), TldKind::Whois);
}

TEST(Directory, RegistryListIsSortedAndComplete) {
  ASSERT_EQ(RegistryTldCount, 1437u);
  for (size_t i = 1; i < RegistryTldCount; ++i)
    EXPECT_LT(std::strcmp(RegistryTlds[i - 1].Tld, RegistryTlds[i].Tld), 0) << RegistryTlds[i].Tld;
  for (size_t i = 0; i < RegistryTldCount; ++i)
    EXPECT_EQ(RegistryTlds[i].Server != nullptr, RegistryTlds[i].Kind == TldKind::Whois) << RegistryTlds[i].Tld;
}

}  // namespace
