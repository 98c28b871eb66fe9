#include "settings/settings.h"

#include <cstring>
#include <filesystem>

#include "platform/module_path.h"

SettingsRecord Settings;

namespace {

constexpr char SettingsFileName[] = "merrowgate.ini";

}  // namespace

std::mutex ProxyOptionsLock;

ProxyOptions SnapshotProxyOptions() {
  ProxyOptions options;
  std::lock_guard<std::mutex> lock(ProxyOptionsLock);
  options.Enabled = Settings.Enabled != 0;
  options.Type = Settings.Type;
  CopyText(options.Server, ProxyTextCapacity, Settings.Server);
  options.Port = Settings.Port;
  options.UseAuth = Settings.UseAuth != 0;
  options.Resolve = Settings.Resolve != 0;
  CopyText(options.Login, ProxyTextCapacity, Settings.Login);
  CopyText(options.Pass, ProxyTextCapacity, Settings.Pass);
  options.Debug = Settings.Debug != 0;
  return options;
}

LookupSettings SnapshotSettings() {
  LookupSettings options;
  options.ResolveDomain = Settings.ResolveDomain != 0;
  options.ReverseIP = Settings.ReverseIP != 0;
  options.GetAbuseInfo = Settings.GetAbuseInfo != 0;
  options.PreferRDAP = Settings.PreferRDAP != 0;
  options.IdleTimeout = Settings.IdleTimeout;
  options.Proxy = SnapshotProxyOptions();
  return options;
}

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
