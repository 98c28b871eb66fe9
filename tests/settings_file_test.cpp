// The Config and Proxy sections of the settings file: defaults, the exact
// form of a fresh file, and values that must survive a restart whole.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "tests/support/temp_files.h"

#include "platform/profile.h"
#include "settings/settings.h"
#include "settings/settings_file.h"

namespace {

std::string FreshPathIn(const char* name) { return FreshPath(name, "merrowgate-settings-test"); }

struct SettingsFileTest : testing::Test {
  void SetUp() override { ResetSettings(); }
  void TearDown() override { ResetSettings(); }
};

TEST_F(SettingsFileTest, MissingFileGivesTheDefaults) {
  LoadSettingsRecord(FreshPathIn("missing").c_str());
  const OutputCharFormat& f = Settings.OutputFormat;
  EXPECT_EQ(f.Size, 60u);
  EXPECT_EQ(f.Mask, 0xE8000003u);
  EXPECT_STREQ(f.Font, "Fixedsys");
  EXPECT_EQ(f.FontSize, 180);
  EXPECT_EQ(f.CharSet, 0);
  EXPECT_EQ(f.dwEffects, 0u);
  EXPECT_EQ(Settings.ResolveDomain, 1);
  EXPECT_EQ(Settings.ReverseIP, 1);
  EXPECT_EQ(Settings.GetAbuseInfo, 0);
  EXPECT_EQ(Settings.Enabled, 0);
  EXPECT_EQ(Settings.Type, HTTP);
  EXPECT_EQ(Settings.Port, 80);
  EXPECT_STREQ(Settings.Server, "");
  EXPECT_STREQ(Settings.Login, "");
  EXPECT_STREQ(Settings.Pass, "");
}

TEST_F(SettingsFileTest, FirstCloseWritesEveryKeyInOrder) {
  const std::string path = FreshPathIn("fresh");
  LoadSettingsRecord(path.c_str());
  SaveSettingsRecord(path.c_str());
  EXPECT_EQ(ReadFile(path),
            "[Config]\r\nFont=Fixedsys\r\ndwEffects=0\r\nCharSet=0\r\nFontSize=180\r\nResolveDomain=1\r\n"
            "ReverseIP=1\r\nGetAbuseInfo=0\r\nPreferRDAP=0\r\n[Proxy]\r\nEnabled=0\r\nDebug=0\r\nType=0\r\nServer=\r\n"
            "Port=80\r\nLogin=\r\nPass=\r\nUseAuth=0\r\nResolve=0\r\n");
}

TEST_F(SettingsFileTest, StoredValuesAreReadAsTheyStand) {
  const std::string path = FreshPathIn("stored");
  WriteFile(path,
            "[Config]\r\nFontSize=240\r\nCharSet=300\r\nFont=ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789\r\n"
            "ResolveDomain=7\r\ndwEffects=3\r\n[Proxy]\r\nType=3\r\nPass=YWJj=\r\nPort=1080\r\n");
  LoadSettingsRecord(path.c_str());
  EXPECT_EQ(Settings.OutputFormat.FontSize, 240);
  EXPECT_EQ(Settings.OutputFormat.CharSet, 44);
  EXPECT_STREQ(Settings.OutputFormat.Font, "ABCDEFGHIJKLMNOPQRSTUVWXYZ01234");  // 31 characters
  EXPECT_EQ(Settings.OutputFormat.dwEffects, 3u);
  EXPECT_EQ(Settings.ResolveDomain, 7);
  EXPECT_EQ(Settings.Type, 3);
  EXPECT_EQ(Settings.Port, 1080);
  EXPECT_STREQ(Settings.Pass, "");  // five characters: not Base64, no password
  SaveSettingsRecord(path.c_str());
  EXPECT_EQ(platform::ReadIniInt("Config", "ResolveDomain", 0, path.c_str()), 7);
  EXPECT_EQ(platform::ReadIniInt("Proxy", "Type", 0, path.c_str()), 3);
}

// What the proxy dialog accepts (127 characters per field) comes back whole at
// the next start, the password included.
TEST_F(SettingsFileTest, LongestDialogValuesSurviveARestart) {
  const struct {
    size_t Server, Login, Pass;
  } rows[] = {{1, 1, 1}, {119, 119, 87}, {120, 120, 88}, {127, 127, 96}, {127, 127, 97}, {127, 127, 127}};
  for (const auto& row : rows) {
    const std::string path = FreshPathIn("long");
    const std::string server(row.Server, 'h'), login(row.Login, 'u');
    std::string pass;
    for (size_t i = 0; i < row.Pass; ++i) pass += static_cast<char>('!' + i % 90);
    ResetSettings();
    CopyText(Settings.Server, ProxyTextCapacity, server.c_str());
    CopyText(Settings.Login, ProxyTextCapacity, login.c_str());
    CopyText(Settings.Pass, ProxyTextCapacity, pass.c_str());
    SaveSettingsRecord(path.c_str());
    char stored[256];
    platform::ReadIniString("Proxy", "Pass", "", stored, sizeof stored, path.c_str());
    EXPECT_NE(stored[0], '\0') << "a long password must not be stored empty: " << row.Pass;
    ResetSettings();
    LoadSettingsRecord(path.c_str());
    EXPECT_EQ(Settings.Server, server) << row.Server;
    EXPECT_EQ(Settings.Login, login) << row.Login;
    EXPECT_EQ(Settings.Pass, pass) << row.Pass;
  }
}

TEST_F(SettingsFileTest, ExistingFileKeepsItsOrderAndGetsMissingKeysAppended) {
  const std::string path = FreshPathIn("existing");
  WriteFile(path, "; my settings\r\n[Proxy]\r\nPort=3128\r\n[Config]\r\nGetAbuseInfo=1\r\n");
  LoadSettingsRecord(path.c_str());
  SaveSettingsRecord(path.c_str());
  EXPECT_EQ(ReadFile(path),
            "; my settings\r\n[Proxy]\r\nPort=3128\r\nEnabled=0\r\nDebug=0\r\nType=0\r\nServer=\r\nLogin=\r\n"
            "Pass=\r\nUseAuth=0\r\nResolve=0\r\n[Config]\r\nGetAbuseInfo=1\r\nFont=Fixedsys\r\ndwEffects=0\r\n"
            "CharSet=0\r\nFontSize=180\r\nResolveDomain=1\r\nReverseIP=1\r\nPreferRDAP=0\r\n");
}

TEST_F(SettingsFileTest, NoPathMeansDefaultsAndNoWrites) {
  LoadSettingsRecord("");
  EXPECT_STREQ(Settings.OutputFormat.Font, "Fixedsys");
  EXPECT_EQ(Settings.ReverseIP, 1);
  SaveSettingsRecord("");  // must not write anywhere, nor crash
}

#ifndef _WIN32
// An installed console program keeps its settings in the user's configuration
// folder; a file beside the executable marks a portable copy and wins.
TEST(ConsoleSettingsPath, ConfigFolderUnlessAFileStandsBesideTheProgram) {
  namespace fs = std::filesystem;
  const fs::path scratch = fs::temp_directory_path() / "merrowgate-console-path";
  fs::remove_all(scratch);
  const std::string beside = SettingsFilePath();
  ASSERT_FALSE(fs::exists(beside)) << "a stray settings file beside the test program: " << beside;
  const std::string home = (scratch / "home").string(), xdg = (scratch / "xdg").string();
  const struct {
    const char* Config;  // $XDG_CONFIG_HOME; nullptr: unset
    bool FileBeside;
    std::string Expected;
  } rows[] = {
      {nullptr, false, home + "/.config/merrowgate/merrowgate.ini"},
      {"", false, home + "/.config/merrowgate/merrowgate.ini"},
      {"relative/path", false, home + "/.config/merrowgate/merrowgate.ini"},
      {xdg.c_str(), false, xdg + "/merrowgate/merrowgate.ini"},
      {xdg.c_str(), true, beside},
      {nullptr, true, beside},
  };
  const char* const savedHome = std::getenv("HOME");
  const char* const savedConfig = std::getenv("XDG_CONFIG_HOME");
  const std::string homeBefore = savedHome ? savedHome : "", configBefore = savedConfig ? savedConfig : "";
  setenv("HOME", home.c_str(), 1);
  for (const auto& row : rows) {
    if (row.Config) setenv("XDG_CONFIG_HOME", row.Config, 1);
    else unsetenv("XDG_CONFIG_HOME");
    if (row.FileBeside) WriteFile(beside, "");
    const std::string path = ConsoleSettingsFilePath();
    if (row.FileBeside) std::remove(beside.c_str());
    EXPECT_EQ(path, row.Expected) << (row.Config ? row.Config : "(unset)") << " " << row.FileBeside;
    if (path != beside) {
      EXPECT_TRUE(fs::is_directory(fs::path(path).parent_path())) << path;
      EXPECT_EQ(fs::status(fs::path(path).parent_path()).permissions() & fs::perms::all, fs::perms::owner_all);
    }
  }
  if (savedHome) setenv("HOME", homeBefore.c_str(), 1);
  else unsetenv("HOME");
  if (savedConfig) setenv("XDG_CONFIG_HOME", configBefore.c_str(), 1);
  else unsetenv("XDG_CONFIG_HOME");
  fs::remove_all(scratch);
}
#endif

}  // namespace
