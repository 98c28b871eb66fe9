// The recent-queries list in its file form, as the windows and the console
// front end both read and write it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "engine/classify.h"
#include "platform/profile.h"
#include "settings/recent_queries.h"
#include "settings/settings.h"
#include "tests/support/recording_sink.h"
#include "tests/support/temp_files.h"

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
      {"[Recent]\rREC0=a\rREC1=b\rREC2=\r", {"a", "b"}},  // CR-only line ends
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
      {{"a", "b"}, "B", {"B", "a"}},  // the new letter case wins
      {{"a", "b"}, "A", {"a", "b"}},  // on top already: the old one stays
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

// Another copy may have recorded lookups since this one read the file: they
// stay, under the new text.
TEST(RecentQueries, RecordKeepsWhatTheFileHolds) {
  const std::string path = FreshPathIn("keeps");
  WriteFile(path, "[Config]\r\nFont=Arial\r\n[Recent]\r\nREC0=b\r\nREC1=a\r\nREC2=\r\nREC3=left.over\r\n");
  EXPECT_TRUE(RecordRecentQuery(path.c_str(), "a"));
  EXPECT_EQ(ReadFile(path), "[Config]\r\nFont=Arial\r\n[Recent]\r\nREC0=a\r\nREC1=b\r\nREC2=\r\nREC3=left.over\r\n");
}

// A query with line breaks, typed, passed on the command line or sent by
// another process, must not add lines (a [Proxy] section) to the file.
TEST(RecentQueries, LineBreaksInAQueryNeverReachTheFile) {
  const char* const injected = "example.com\r\n[Proxy]\r\nEnabled=1\r\nServer=attacker.test\r\n[x]";
  const std::string path = FreshPathIn("injection");
  RecordingSink sink;
  SinkScope scope(&sink);
  ResetSettings();
  sink.SetQuery(injected);
  LookupTarget target{};
  ClassifyQuery(target);
  EXPECT_EQ(std::string(target.Host).find_first_of("\r\n"), std::string::npos) << target.Host;
  RecordRecentQuery(path.c_str(), target.Host);
  RecordRecentQuery(path.c_str(), injected);  // the list guards itself too
  EXPECT_EQ(ReadFile(path).find("\n["), std::string::npos) << ReadFile(path);
  EXPECT_EQ(platform::ReadIniInt("Proxy", "Enabled", 0, path.c_str()), 0);
  EXPECT_EQ(LoadRecentQueryList(path.c_str()).size(), 1u);  // both cleaned to the same text
}

// Two programs recording at the same moment keep every entry: each record is
// one read and one write under a lock that both take.
TEST(RecentQueries, TwoCopiesRecordingAtOnceLoseNothing) {
  constexpr int PerCopy = 40;
  auto record = [](const std::string& path, char copy) {
    for (int i = 0; i < PerCopy; ++i) RecordRecentQuery(path.c_str(), (copy + std::to_string(i) + ".example").c_str());
  };
#ifdef _WIN32
  // This test program started again, with the file in its environment, is
  // the second copy.
  char shared[MAX_PATH];
  if (GetEnvironmentVariableA("MERROWGATE_SECOND_COPY", shared, sizeof shared) - 1u < sizeof shared - 1) {
    record(shared, 'b');
    return;
  }
  const std::string path = FreshPathIn("two-copies");
  char self[MAX_PATH];
  ASSERT_GT(GetModuleFileNameA(nullptr, self, sizeof self), 0u);
  std::string command = std::string("\"") + self +
                        "\" --gtest_filter=RecentQueries.TwoCopiesRecordingAtOnceLoseNothing";
  SetEnvironmentVariableA("MERROWGATE_SECOND_COPY", path.c_str());
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION second{};
  const BOOL started = CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                                      &second);
  SetEnvironmentVariableA("MERROWGATE_SECOND_COPY", nullptr);
  ASSERT_TRUE(started);
  record(path, 'a');
  EXPECT_EQ(WaitForSingleObject(second.hProcess, 30000), WAIT_OBJECT_0);
  DWORD status = 1;
  GetExitCodeProcess(second.hProcess, &status);
  EXPECT_EQ(status, 0u);
  CloseHandle(second.hThread);
  CloseHandle(second.hProcess);
#else
  const std::string path = FreshPathIn("two-copies");
  pid_t children[2];
  for (int c = 0; c < 2; ++c) {
    children[c] = fork();
    ASSERT_GE(children[c], 0);
    if (children[c] == 0) {
      record(path, static_cast<char>('a' + c));
      _exit(0);
    }
  }
  for (pid_t child : children) {
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
#endif
  const List list = LoadRecentQueryList(path.c_str());
  EXPECT_EQ(list.size(), 2u * PerCopy);
  for (char copy : {'a', 'b'})
    for (int i = 0; i < PerCopy; ++i)
      EXPECT_NE(std::find(list.begin(), list.end(), copy + std::to_string(i) + ".example"), list.end());
}

// Entries beyond ASCII are UTF-8 in memory and ASCII in the file, so that
// every reader (the Windows profile functions in any code page, the POSIX
// one) reads the same; what older files hold reads as before.
TEST(RecentQueries, TheFileFormIsAsciiAndReadsBackAsWritten) {
  const struct {
    std::string Text, File;
  } rows[] = {
      {"bücher.de", "b%C3%BCcher.de"},
      {"例え.jp", "%E4%BE%8B%E3%81%88.jp"},
      {"\xF0\x9F\x98\x80.ws", "%F0%9F%98%80.ws"},
      {"100%", "100%25"},
      {"%41 %C3%BC", "%2541 %25C3%25BC"},
      {"M\xFCnchen", "M\xFCnchen"},        // an older copy's code page bytes stay as they are
      {"\xC3(\xE4\xBE", "\xC3(\xE4\xBE"},  // so do a cut or broken sequence
      {"plain.example", "plain.example"},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(EscapeRecentQuery(row.Text), row.File) << row.Text;
    EXPECT_EQ(UnescapeRecentQuery(row.File), row.Text) << row.File;
  }
  // What an older file holds: a "%" that escapes no whole character stays.
  const struct {
    const char* File;
    const char* Text;
  } older[] = {{"50%", "50%"},
               {"%41", "%41"},
               {"%C3", "%C3"},
               {"%C3%28", "%C3%28"},
               {"%ED%A0%80", "%ED%A0%80"},
               {"%c3%bc", "ü"},
               {"a%2", "a%2"},
               {"%E4%BE%8B%E3%81", "例%E3%81"}};
  for (const auto& row : older) EXPECT_EQ(UnescapeRecentQuery(row.File), row.Text) << row.File;

  const std::string path = FreshPathIn("utf8");
  WriteFile(path,
            "[Recent]\r\nREC0=Stra\xDF"
            "e.de\r\nREC1=\r\n");
  EXPECT_TRUE(RecordRecentQuery(path.c_str(), "例え.jp"));
  EXPECT_EQ(ReadFile(path),
            "[Recent]\r\nREC0=%E4%BE%8B%E3%81%88.jp\r\nREC1=Stra\xDF"
            "e.de\r\nREC2=\r\n");
  EXPECT_EQ(LoadRecentQueryList(path.c_str()), (List{"例え.jp",
                                                     "Stra\xDF"
                                                     "e.de"}));
  // The 1023-byte cut never splits a character.
  std::string longest = "a";
  while (longest.size() < 1500) longest += "例";
  EXPECT_TRUE(RecordRecentQuery(path.c_str(), longest.c_str()));
  EXPECT_EQ(LoadRecentQueryList(path.c_str()).front(), longest.substr(0, 1021));
}

}  // namespace
