// The settings file functions against the bytes that the Windows profile
// functions produce. The same table runs in the native build (the own INI
// code) and in the Windows build under Wine (WritePrivateProfileStringA), so
// both must give the very same file for every sequence of writes.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/profile.h"
#include "tests/support/temp_files.h"

namespace {

struct Write {
  const char* Section;
  const char* Key;
  const char* Value;
};

struct WriteCase {
  const char* Name;
  const char* Before;  // nullptr: no file
  std::vector<Write> Writes;
  const char* After;
};

std::string TestPath(const std::string& name) {
  static const std::filesystem::path dir = [] {
    auto d = std::filesystem::temp_directory_path() / ("merrowgate-profile-" + std::to_string(std::rand()));
    std::filesystem::create_directories(d);
    return d;
  }();
  return (dir / (name + ".ini")).string();
}

const std::vector<WriteCase> WriteCases = {
    {"fresh_file_sections_in_write_order", nullptr,
     {{"Config", "Font", "Fixedsys"}, {"Config", "dwEffects", "0"}, {"Proxy", "Enabled", "0"},
      {"Recent", "REC0", ""}},
     "[Config]\r\nFont=Fixedsys\r\ndwEffects=0\r\n[Proxy]\r\nEnabled=0\r\n[Recent]\r\nREC0=\r\n"},
    {"replace_in_place_keeps_file_case_and_comments",
     "; head comment\r\n[config]\r\n  font = Courier  \r\n; a = b\r\n\r\n\r\nFONT=dup\r\nx\r\n[Proxy]\r\nPort=80\r\n",
     {{"Config", "Font", "Arial"}, {"Config", "New", "1"}, {"proxy", "Server", "host"}, {"Other", "K", "v"}},
     "; head comment\r\n[config]\r\nfont=Arial\r\n; a=b\r\nFONT=dup\r\nx\r\nNew=1\r\n[Proxy]\r\nPort=80\r\n"
     "Server=host\r\n[Other]\r\nK=v\r\n"},
    {"lf_file_rewritten_with_crlf_value_blanks", "[A]\nk=1\n\n[B]\nj=2\n",
     {{"A", "k", "2"}, {"A", "m", ""}, {"B", "j", "  spaced  "}},
     "[A]\r\nk=2\r\nm=\r\n[B]\r\nj=spaced  \r\n"},
    {"duplicate_section_only_first_written", "loose=1\r\n[A]\r\n=x\r\n=y\r\n[A]\r\nk=2\r\n",
     {{"A", "k", "3"}, {"A", "z", "1"}, {"", "loose", "5"}},
     "loose=5\r\n[A]\r\n=x\r\nk=3\r\nz=1\r\n[A]\r\nk=2\r\n"},
    {"odd_headers_and_blanks",
     "[A]\r\nx\r\n[ B ]\r\n\tk\t=\t1\t\r\n[C] junk\r\nc=1\r\n[D\r\nd=1\r\n#hash=1\r\n;semi\r\nlast=1",
     {{"A", "x", "1"}, {" B ", "k", "2"}, {"B", "k", "3"}, {"C", "c", "2"}, {"[D", "d", "5"},
      {"A", "#hash", "9"}, {"D", "d", "7"}, {"A", "last", "8"}},
     "[A]\r\nx=1\r\n#hash=9\r\nlast=8\r\n[B]\r\nk=3\r\n[C]\r\nc=2\r\n[D\r\nd=1\r\n#hash=1\r\n;semi\r\n"
     "last=1\r\n[[D]\r\nd=5\r\n[D]\r\nd=7\r\n"},
    {"repeated_empty_names_collapse", "[A]\r\n=x\r\nk=1\r\n=y\r\n=z\r\n\r\n[B]\r\n", {{"B", "k", "1"}},
     "[A]\r\n=x\r\nk=1\r\n=y\r\n[B]\r\nk=1\r\n"},
    {"quotes_and_equals_signs_kept", "[A]\r\nk=\"quoted\"\r\nq='s'\r\n",
     {{"A", "k", "\"new\""}, {"A", "n", "x=y"}}, "[A]\r\nk=\"new\"\r\nq='s'\r\nn=x=y\r\n"},
    {"byte_order_mark_written_back", "\xEF\xBB\xBF[A]\r\nk=1\r\n", {{"A", "k", "2"}},
     "\xEF\xBB\xBF[A]\r\nk=2\r\n"},
    // Writing the value that is already there leaves the file as it was.
    {"unchanged_value_leaves_bytes_alone", "[A]\n\nk = 1\n", {{"A", "k", "1"}}, "[A]\n\nk = 1\n"},
    {"recent_list_shrinks_leaving_old_keys",
     "[Recent]\r\nREC0=a\r\nREC1=b\r\nREC2=c\r\nREC3=\r\n",
     {{"Recent", "REC0", "c"}, {"Recent", "REC1", ""}},
     "[Recent]\r\nREC0=c\r\nREC1=\r\nREC2=c\r\nREC3=\r\n"},
};

class ProfileWrites : public testing::TestWithParam<WriteCase> {};

TEST_P(ProfileWrites, GiveTheBytesOfTheWindowsFunctions) {
  const WriteCase& c = GetParam();
  const std::string path = TestPath(c.Name);
  std::remove(path.c_str());
  if (c.Before) WriteFile(path, c.Before);
  for (const Write& w : c.Writes)
    ASSERT_TRUE(platform::WriteIniString(w.Section, w.Key, w.Value, path.c_str())) << w.Key;
  EXPECT_EQ(ReadFile(path), c.After);
}

INSTANTIATE_TEST_SUITE_P(Table, ProfileWrites, testing::ValuesIn(WriteCases),
                         [](const testing::TestParamInfo<WriteCase>& row) { return row.param.Name; });

struct ReadCase {
  const char* Section;
  const char* Key;
  int Capacity;
  const char* Text;  // "DEF" is the default
  int Number;        // -7 is the default
};

const char* const ReadFileText =
    "[A]\r\nq1=\"quoted\"\r\nq2=\"half\r\nq3='s'\r\nq4=\"\"\r\nnov\r\nempty=\r\nsp=  12  \r\nneg=-5x\r\n"
    "hex=0x1F\r\nbig=4294967297\r\nplus=+7\r\nlong=abcdefghij\r\n[A]\r\nsecond=1\r\n";

TEST(ProfileReads, ValuesDefaultsAndNumbersAsTheWindowsFunctionsReadThem) {
  const ReadCase cases[] = {
      {"A", "q1", 16, "quoted", 0},    {"A", "q2", 16, "\"half", 0}, {"A", "q3", 16, "s", 0},
      {"A", "q4", 16, "", -7},         {"A", "nov", 16, "DEF", -7},  {"A", "empty", 16, "", -7},
      {"A", "sp", 16, "12", 12},       {"A", "neg", 16, "-5x", -5},  {"A", "hex", 16, "0x1F", 31},
      {"A", "big", 16, "4294967297", 1}, {"A", "plus", 16, "+7", 7}, {"A", "long", 5, "abcd", 0},
      {"A", "second", 16, "DEF", -7},  {"A", "missing", 16, "DEF", -7}, {"B", "q1", 16, "DEF", -7},
      {"a", "Q1", 16, "quoted", 0},
  };
  const std::string path = TestPath("reads");
  WriteFile(path, ReadFileText);
  for (const ReadCase& c : cases) {
    char buffer[16];
    const int n = platform::ReadIniString(c.Section, c.Key, "DEF", buffer, c.Capacity, path.c_str());
    EXPECT_EQ(std::string(buffer), c.Text) << c.Key;
    EXPECT_EQ(n, static_cast<int>(std::string(c.Text).size())) << c.Key;
    EXPECT_EQ(platform::ReadIniInt(c.Section, c.Key, -7, path.c_str()), c.Number) << c.Key;
  }
  char buffer[8];
  const std::string absent = TestPath("absent");
  EXPECT_EQ(platform::ReadIniString("A", "q1", "fallback", buffer, sizeof buffer, absent.c_str()), 7);
  EXPECT_STREQ(buffer, "fallbac");
  EXPECT_EQ(platform::ReadIniInt("A", "q1", 42, absent.c_str()), 42);
}

}  // namespace
