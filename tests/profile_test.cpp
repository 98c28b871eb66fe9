// The settings file functions against the bytes that the Windows profile
// functions produce. The same table runs in the native build (the own INI
// code) and in the Windows build under Wine (WritePrivateProfileStringA), so
// both must give the very same file for every sequence of writes.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "platform/profile.h"
#include "tests/support/temp_files.h"

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

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
    {"fresh_file_sections_in_write_order",
     nullptr,
     {{"Config", "Font", "Fixedsys"}, {"Config", "dwEffects", "0"}, {"Proxy", "Enabled", "0"}, {"Recent", "REC0", ""}},
     "[Config]\r\nFont=Fixedsys\r\ndwEffects=0\r\n[Proxy]\r\nEnabled=0\r\n[Recent]\r\nREC0=\r\n"},
    {"replace_in_place_keeps_file_case_and_comments",
     "; head comment\r\n[config]\r\n  font = Courier  \r\n; a = b\r\n\r\n\r\nFONT=dup\r\nx\r\n[Proxy]\r\nPort=80\r\n",
     {{"Config", "Font", "Arial"}, {"Config", "New", "1"}, {"proxy", "Server", "host"}, {"Other", "K", "v"}},
     "; head comment\r\n[config]\r\nfont=Arial\r\n; a=b\r\nFONT=dup\r\nx\r\nNew=1\r\n[Proxy]\r\nPort=80\r\n"
     "Server=host\r\n[Other]\r\nK=v\r\n"},
    {"lf_file_rewritten_with_crlf_value_blanks",
     "[A]\nk=1\n\n[B]\nj=2\n",
     {{"A", "k", "2"}, {"A", "m", ""}, {"B", "j", "  spaced  "}},
     "[A]\r\nk=2\r\nm=\r\n[B]\r\nj=spaced  \r\n"},
    {"duplicate_section_only_first_written",
     "loose=1\r\n[A]\r\n=x\r\n=y\r\n[A]\r\nk=2\r\n",
     {{"A", "k", "3"}, {"A", "z", "1"}, {"", "loose", "5"}},
     "loose=5\r\n[A]\r\n=x\r\nk=3\r\nz=1\r\n[A]\r\nk=2\r\n"},
    {"odd_headers_and_blanks",
     "[A]\r\nx\r\n[ B ]\r\n\tk\t=\t1\t\r\n[C] junk\r\nc=1\r\n[D\r\nd=1\r\n#hash=1\r\n;semi\r\nlast=1",
     {{"A", "x", "1"},
      {" B ", "k", "2"},
      {"B", "k", "3"},
      {"C", "c", "2"},
      {"[D", "d", "5"},
      {"A", "#hash", "9"},
      {"D", "d", "7"},
      {"A", "last", "8"}},
     "[A]\r\nx=1\r\n#hash=9\r\nlast=8\r\n[B]\r\nk=3\r\n[C]\r\nc=2\r\n[D\r\nd=1\r\n#hash=1\r\n;semi\r\n"
     "last=1\r\n[[D]\r\nd=5\r\n[D]\r\nd=7\r\n"},
    {"repeated_empty_names_collapse",
     "[A]\r\n=x\r\nk=1\r\n=y\r\n=z\r\n\r\n[B]\r\n",
     {{"B", "k", "1"}},
     "[A]\r\n=x\r\nk=1\r\n=y\r\n[B]\r\nk=1\r\n"},
    {"quotes_and_equals_signs_kept",
     "[A]\r\nk=\"quoted\"\r\nq='s'\r\n",
     {{"A", "k", "\"new\""}, {"A", "n", "x=y"}},
     "[A]\r\nk=\"new\"\r\nq='s'\r\nn=x=y\r\n"},
    {"byte_order_mark_written_back", "\xEF\xBB\xBF[A]\r\nk=1\r\n", {{"A", "k", "2"}}, "\xEF\xBB\xBF[A]\r\nk=2\r\n"},
    // Writing the value that is already there leaves the file as it was.
    {"unchanged_value_leaves_bytes_alone", "[A]\n\nk = 1\n", {{"A", "k", "1"}}, "[A]\n\nk = 1\n"},
    // CR alone ends a line too, in any mix with LF.
    {"cr_line_ends",
     "[A]\rk=1\rj=2\r[B]\rm=3\r",
     {{"A", "k", "9"}, {"B", "m", "8"}},
     "[A]\r\nk=9\r\nj=2\r\n[B]\r\nm=8\r\n"},
    {"cr_and_lf_mixed",
     "[A]\rk=1\nj=2\r[B]\nm=3\r\r\nx=5",
     {{"A", "k", "9"}, {"B", "x", "6"}},
     "[A]\r\nk=9\r\nj=2\r\n[B]\r\nm=3\r\nx=6\r\n"},
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

// A line break in any text would add lines of its own to the file: such a
// write fails and leaves the file as it was.
TEST(ProfileWrites, LineBreaksAreRefused) {
  const Write rows[] = {
      {"Recent", "REC0", "a.example\r\n[Proxy]\r\nEnabled=1"},
      {"Recent", "REC0", "a\nb"},
      {"Recent", "REC0", "a\r"},
      {"Recent", "REC\n0", "a"},
      {"Recent]\r\n[Proxy", "Enabled", "1"},
  };
  const std::string path = TestPath("line_breaks");
  const std::string before = "[Recent]\r\nREC0=old\r\n";
  WriteFile(path, before);
  for (const Write& w : rows) {
    EXPECT_FALSE(platform::WriteIniString(w.Section, w.Key, w.Value, path.c_str())) << w.Section << w.Key << w.Value;
    EXPECT_FALSE(platform::EditIniSection(w.Section, path.c_str(),
                                          [&](std::vector<platform::ProfileKey>& keys) {
                                            keys.push_back(platform::ProfileKey{w.Key, w.Value, true});
                                            return true;
                                          }))
        << w.Section << w.Key << w.Value;
    EXPECT_EQ(ReadFile(path), before);
  }
}

// A section read and written in one piece: other keys keep their places and
// their quotes, and a section that is not there is appended.
TEST(ProfileSections, EditKeepsWhatItDoesNotChange) {
  const std::string path = TestPath("section_edit");
  WriteFile(path, "[A]\r\nx=1\r\n[Recent]\r\nREC0=\"q\"\r\nkeep=2\r\n[B]\r\ny=3\r\n");
  std::vector<platform::ProfileKey> seen;
  ASSERT_TRUE(platform::EditIniSection("recent", path.c_str(), [&](std::vector<platform::ProfileKey>& keys) {
    seen = keys;
    keys[0].Value = "new";
    keys.push_back(platform::ProfileKey{"REC1", "", true});
    return true;
  }));
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].Name + "=" + seen[0].Value, "REC0=\"q\"");
  EXPECT_EQ(seen[1].Name + "=" + seen[1].Value, "keep=2");
  EXPECT_EQ(ReadFile(path), "[A]\r\nx=1\r\n[Recent]\r\nREC0=new\r\nkeep=2\r\nREC1=\r\n[B]\r\ny=3\r\n");
  ASSERT_TRUE(platform::EditIniSection("C", path.c_str(), [](std::vector<platform::ProfileKey>& keys) {
    keys.push_back(platform::ProfileKey{"z", "4", true});
    return true;
  }));
  EXPECT_EQ(ReadFile(path), "[A]\r\nx=1\r\n[Recent]\r\nREC0=new\r\nkeep=2\r\nREC1=\r\n[B]\r\ny=3\r\n[C]\r\nz=4\r\n");
}

#ifndef _WIN32
// The file a settings path names is written the way the Windows functions
// write it: through links, keeping its mode, owner and other names; a
// read-only file or anything but a regular file is never replaced (the write
// fails), and nothing blocks on a FIFO.
TEST(ProfileFiles, WritesReachTheFileAndReplaceNothingElse) {
  namespace fs = std::filesystem;
  const fs::path dir = fs::path(TestPath("kinds")).parent_path() / "kinds";
  fs::remove_all(dir);
  fs::create_directories(dir);
  const std::string before = "[A]\r\nk=1\r\n", after = "[A]\r\nk=2\r\n";
  auto file = [&](const char* name, mode_t mode) {
    const std::string path = (dir / name).string();
    WriteFile(path, before);
    chmod(path.c_str(), mode);
    return path;
  };
  auto mode = [](const std::string& path) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0 ? st.st_mode : 0;
  };
  const struct {
    const char* Name;
    std::function<std::string()> Make;  // the path handed to the writer
    bool Written;
    std::function<void(const std::string&)> Check;
  } rows[] = {
      {"link",
       [&] {
         file("target.ini", 0644);
         fs::create_symlink("target.ini", dir / "link.ini");
         return (dir / "link.ini").string();
       },
       true,
       [&](const std::string& p) {
         EXPECT_TRUE(S_ISLNK(mode(p)));
         EXPECT_EQ(ReadFile((dir / "target.ini").string()), after);
       }},
      {"dangling link",
       [&] {
         fs::create_symlink("made.ini", dir / "dangling.ini");
         return (dir / "dangling.ini").string();
       },
       true,
       [&](const std::string& p) {
         EXPECT_TRUE(S_ISLNK(mode(p)));
         EXPECT_EQ(ReadFile((dir / "made.ini").string()), "[A]\r\nk=2\r\n");
       }},
      {"read-only", [&] { return file("readonly.ini", 0444); }, false,
       [&](const std::string& p) {
         EXPECT_EQ(ReadFile(p), before);
         EXPECT_EQ(mode(p) & 07777, 0444u);
       }},
      {"private", [&] { return file("private.ini", 0600); }, true,
       [&](const std::string& p) {
         EXPECT_EQ(ReadFile(p), after);
         EXPECT_EQ(mode(p) & 07777, 0600u);
       }},
      {"new", [&] { return (dir / "new.ini").string(); }, true,
       [&](const std::string& p) { EXPECT_EQ(mode(p) & 07777, 0600u); }},
      {"hard link",
       [&] {
         const std::string p = file("named.ini", 0644);
         fs::create_hard_link(p, dir / "other-name.ini");
         return p;
       },
       true, [&](const std::string&) { EXPECT_EQ(ReadFile((dir / "other-name.ini").string()), after); }},
      {"device",
       [&] {
         fs::create_symlink("/dev/null", dir / "device.ini");
         return (dir / "device.ini").string();
       },
       false,
       [&](const std::string&) {
         EXPECT_TRUE(S_ISCHR(mode("/dev/null")));
         EXPECT_FALSE(fs::exists("/dev/null.lock"));
       }},
      {"fifo",
       [&] {
         const std::string p = (dir / "fifo.ini").string();
         mkfifo(p.c_str(), 0644);
         return p;
       },
       false,
       [&](const std::string& p) {
         EXPECT_TRUE(S_ISFIFO(mode(p)));
         EXPECT_EQ(platform::ReadIniInt("A", "k", -1, p.c_str()), -1);
       }},
      {"directory",
       [&] {
         fs::create_directory(dir / "folder.ini");
         return (dir / "folder.ini").string();
       },
       false, [&](const std::string& p) { EXPECT_TRUE(fs::is_directory(p)); }},
      {"another owner",
       [&] {
         const std::string p = file("owned.ini", 0666);
         (void)!chown(p.c_str(), 65534, 65534);
         return p;
       },
       true,
       [&](const std::string& p) {
         struct stat st {};
         stat(p.c_str(), &st);
         if (geteuid() == 0) {
           EXPECT_EQ(st.st_uid, 65534u);
           EXPECT_EQ(st.st_gid, 65534u);
         }
         EXPECT_EQ(ReadFile(p), after);
       }},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.Name);
    const std::string path = row.Make();
    EXPECT_EQ(platform::WriteIniString("A", "k", "2", path.c_str()), row.Written);
    EXPECT_EQ(platform::EditIniSection("A", path.c_str(), [](std::vector<platform::ProfileKey>&) { return true; }),
              row.Written);
    row.Check(path);
  }
  // No temporary file is left behind by a write that failed or succeeded.
  for (const auto& entry : fs::directory_iterator(dir)) {
    const std::string name = entry.path().filename().string();
    EXPECT_TRUE(name.find(".ini.") == std::string::npos || entry.path().extension() == ".lock") << name;
  }
  fs::remove_all(dir);
}

// An edit that changes nothing leaves the file as it is (no new file renamed
// over it); one that changes a value writes.
TEST(ProfileFiles, EditThatChangesNothingWritesNothing) {
  const std::string path = TestPath("unchanged");
  WriteFile(path, "[A]\r\nk=1\r\n");
  struct stat before {
  }, after{};
  stat(path.c_str(), &before);
  EXPECT_TRUE(platform::EditIniSection("a", path.c_str(), [](std::vector<platform::ProfileKey>&) { return true; }));
  stat(path.c_str(), &after);
  EXPECT_EQ(after.st_ino, before.st_ino);
  EXPECT_TRUE(platform::EditIniSection("A", path.c_str(), [](std::vector<platform::ProfileKey>& keys) {
    keys[0].Value = "2";
    return true;
  }));
  EXPECT_EQ(ReadFile(path), "[A]\r\nk=2\r\n");
}
#endif

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
      {"A", "q1", 16, "quoted", 0},      {"A", "q2", 16, "\"half", 0},    {"A", "q3", 16, "s", 0},
      {"A", "q4", 16, "", -7},           {"A", "nov", 16, "DEF", -7},     {"A", "empty", 16, "", -7},
      {"A", "sp", 16, "12", 12},         {"A", "neg", 16, "-5x", -5},     {"A", "hex", 16, "0x1F", 31},
      {"A", "big", 16, "4294967297", 1}, {"A", "plus", 16, "+7", 7},      {"A", "long", 5, "abcd", 0},
      {"A", "second", 16, "DEF", -7},    {"A", "missing", 16, "DEF", -7}, {"B", "q1", 16, "DEF", -7},
      {"a", "Q1", 16, "quoted", 0},
  };
  const std::string path = TestPath("reads");
  WriteFile(path, ReadFileText);
  const platform::IniFileReader once(path.c_str());  // the file read once for every key
  for (const ReadCase& c : cases) {
    char buffer[16];
    const int n = platform::ReadIniString(c.Section, c.Key, "DEF", buffer, c.Capacity, path.c_str());
    EXPECT_EQ(std::string(buffer), c.Text) << c.Key;
    EXPECT_EQ(n, static_cast<int>(std::string(c.Text).size())) << c.Key;
    EXPECT_EQ(platform::ReadIniInt(c.Section, c.Key, -7, path.c_str()), c.Number) << c.Key;
    char again[16];
    EXPECT_EQ(once.ReadString(c.Section, c.Key, "DEF", again, c.Capacity), n) << c.Key;
    EXPECT_STREQ(again, buffer) << c.Key;
    EXPECT_EQ(once.ReadInt(c.Section, c.Key, -7), c.Number) << c.Key;
  }
  char buffer[8];
  const std::string absent = TestPath("absent");
  EXPECT_EQ(platform::ReadIniString("A", "q1", "fallback", buffer, sizeof buffer, absent.c_str()), 7);
  EXPECT_STREQ(buffer, "fallbac");
  EXPECT_EQ(platform::ReadIniInt("A", "q1", 42, absent.c_str()), 42);
}

}  // namespace
