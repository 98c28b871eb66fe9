// The recent-queries list in its file form, as the windows and the console
// front end both read and write it.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "tests/support/temp_files.h"
#include <vector>

#include "settings/recent_queries.h"

namespace {

std::string FreshPathIn(const char* name) { return FreshPath(name, "merrowgate-recent-test"); }

using List = std::vector<std::string>;

TEST(RecentQueries, LoadStopsAtTheFirstEmptyKeyAndDropsLaterDuplicates) {
  const struct {
    const char* File;
    List Expected;
  } rows[] = {
      {"", {}},
      {"[Recent]\r\nREC0=\r\nREC1=b\r\n", {}},
      {"[Recent]\r\nREC0=a\r\nREC1=b\r\nREC2=c\r\nREC3=d\r\nREC4=e\r\nREC5=\r\nREC6=f\r\n", {"a", "b", "c", "d", "e"}},
      {"[Recent]\r\nREC0=a\r\nREC1=x.example\r\nREC2=c\r\nREC3=X.Example\r\n", {"a", "x.example", "c"}},
      {"[Recent]\r\nREC0=a\r\nREC2=c\r\n", {"a"}},  // a gap ends the list too
      {"[Other]\r\nREC0=a\r\n", {}},
  };
  for (const auto& row : rows) {
    const std::string path = FreshPathIn("load");
    std::ofstream(path, std::ios::binary) << row.File;
    EXPECT_EQ(LoadRecentQueryList(path.c_str()), row.Expected) << row.File;
  }
  EXPECT_EQ(LoadRecentQueryList(FreshPathIn("absent").c_str()), List{});
}

TEST(RecentQueries, MoveToTopFollowsTheListRule) {
  const struct {
    List Before;
    const char* Text;
    List After;
  } rows[] = {
      {{}, "a", {"a"}},
      {{"a", "b", "c"}, "c", {"c", "a", "b"}},
      {{"a", "b", "c", "d"}, "c", {"c", "a", "b", "d"}},
      {{"a", "b"}, "B", {"B", "a"}},     // the new letter case wins
      {{"a", "b"}, "A", {"a", "b"}},     // on top already: the old one stays
      {{"a", "b"}, "new", {"new", "a", "b"}},
  };
  for (const auto& row : rows) {
    List list = row.Before;
    MoveRecentQueryToTop(list, row.Text);
    EXPECT_EQ(list, row.After) << row.Text;
  }
}

TEST(RecentQueries, SaveWritesAtMostAHundredAndAnEmptyKeyAfterThem) {
  const std::string path = FreshPathIn("save");
  SaveRecentQueryList(path.c_str(), {"example.com"});
  EXPECT_EQ(ReadFile(path), "[Recent]\r\nREC0=example.com\r\nREC1=\r\n");

  List many;
  for (int i = 0; i < 130; ++i) many.push_back("h" + std::to_string(i));
  SaveRecentQueryList(path.c_str(), many);
  const List loaded = LoadRecentQueryList(path.c_str());
  ASSERT_EQ(loaded.size(), 100u);
  EXPECT_EQ(loaded.back(), "h99");
  EXPECT_NE(ReadFile(path).find("REC100=\r\n"), std::string::npos);

  // A shorter list leaves the old keys behind its empty key, never read again.
  SaveRecentQueryList(path.c_str(), {"x", "y"});
  EXPECT_EQ(LoadRecentQueryList(path.c_str()), (List{"x", "y"}));
  EXPECT_NE(ReadFile(path).find("REC3=h3\r\n"), std::string::npos);
}

TEST(RecentQueries, RecordIsOneLookupOfAProgramWithoutAList) {
  const std::string path = FreshPathIn("record");
  RecordRecentQuery(path.c_str(), "one.example");
  RecordRecentQuery(path.c_str(), "two.example");
  RecordRecentQuery(path.c_str(), "ONE.example");
  RecordRecentQuery(path.c_str(), "");
  EXPECT_EQ(LoadRecentQueryList(path.c_str()), (List{"ONE.example", "two.example"}));
  const std::string longest(1500, 'q');  // entries hold at most 1023 characters
  RecordRecentQuery(path.c_str(), longest.c_str());
  EXPECT_EQ(LoadRecentQueryList(path.c_str()).front(), longest.substr(0, 1023));
}

}  // namespace
