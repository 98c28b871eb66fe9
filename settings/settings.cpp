#include "settings/settings.h"

#include <cstring>
#include <filesystem>

#include "platform/module_path.h"

SettingsRecord Settings;

namespace {

constexpr char SettingsFileName[] = "merrowgate.ini";

}  // namespace

std::mutex ProxyOptionsLock;

void ResetSettings() {
  Settings.OutputFormat = OutputCharFormat{};
  Settings.ResolveDomain = 0;
  Settings.ReverseIP = 0;
  Settings.GetAbuseInfo = 0;
  Settings.PreferRDAP = 0;
  Settings.Enabled = 0;
  Settings.Debug = 0;
  Settings.Type = HTTP;
  Settings.UseAuth = 0;
  Settings.Resolve = 0;
  Settings.Server[0] = Settings.Login[0] = '\0';
  std::memset(Settings.Pass, 0, sizeof Settings.Pass);
  Settings.Port = 80;
  Settings.IdleTimeout = 0;
}

std::string SettingsFilePath() { return platform::PathBesideExecutable(SettingsFileName); }

// An installed console program must not write into the folder of its binary;
// a settings file already there means a portable copy, which keeps it.
std::string ConsoleSettingsFilePath() {
  const std::string beside = SettingsFilePath();
  const std::string config = platform::UserConfigFolder();
  std::error_code error;
  if (config.empty() || (!beside.empty() && std::filesystem::exists(beside, error))) return beside;
  const std::filesystem::path folder = std::filesystem::path(config) / "merrowgate";
  // Created for the user alone: the file holds the proxy password.
  if (std::filesystem::create_directories(folder, error))
    std::filesystem::permissions(folder, std::filesystem::perms::owner_all, error);
  return (folder / SettingsFileName).string();
}
