#include "settings/settings.h"

#include <cstring>

#include "platform/module_path.h"

SettingsRecord Settings;

void ResetSettings() {
  Settings.OutputFormat = OutputCharFormat{};
  Settings.ResolveDomain = 0;
  Settings.ReverseIP = 0;
  Settings.GetAbuseInfo = 0;
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

std::string SettingsFilePath() {
  std::string path = platform::ExecutablePath();
  if (path.empty()) return {};
  const size_t slash = path.find_last_of(
#ifdef _WIN32
      "\\/:"
#else
      "/"
#endif
  );
  path.erase(slash == std::string::npos ? 0 : slash + 1);
  path += "merrowgate.ini";
#ifdef _WIN32
  if (path.size() > 259) return {};  // MAX_PATH, terminator included
#endif
  return path;
}
