#include "settings/settings_file.h"

#include <cstdio>
#include <cstring>

#include "net/base64.h"
#include "platform/profile.h"
#include "settings/settings.h"

using platform::WriteIniString;

namespace {

// Without a usable path (the executable's own path was not found, or is too
// long) nothing is read or written: the Windows functions would otherwise
// fall back to a file in the Windows directory.
bool Usable(const char* path) { return path && *path; }

int ReadIniInt(const char* section, const char* key, int fallback, const char* path) {
  return Usable(path) ? platform::ReadIniInt(section, key, fallback, path) : fallback;
}

int ReadIniString(const char* section, const char* key, const char* fallback, char* buffer, int capacity,
                  const char* path) {
  if (Usable(path)) return platform::ReadIniString(section, key, fallback, buffer, capacity, path);
  CopyText(buffer, capacity, fallback);
  return static_cast<int>(std::strlen(buffer));
}

void WriteIntSetting(const char* path, const char* section, const char* key, int value) {
  char text[16];
  std::snprintf(text, sizeof text, "%d", value);
  WriteIniString(section, key, text, path);
}

}  // namespace

void LoadSettingsRecord(const char* path) {
  OutputCharFormat& format = Settings.OutputFormat;
  format = OutputCharFormat{};
  format.Size = sizeof(OutputCharFormat);
  format.Mask = OutputFormatMask;
  format.CharSet = static_cast<std::uint8_t>(ReadIniInt("Config", "CharSet", 0, path) & 0xFF);
  format.dwEffects = static_cast<std::uint32_t>(ReadIniInt("Config", "dwEffects", 0, path));
  format.FontSize = ReadIniInt("Config", "FontSize", 180, path);
  ReadIniString("Config", "Font", "Fixedsys", format.Font, FontCapacity, path);
  Settings.ResolveDomain = ReadIniInt("Config", "ResolveDomain", 1, path);
  Settings.ReverseIP = ReadIniInt("Config", "ReverseIP", 1, path);
  Settings.GetAbuseInfo = ReadIniInt("Config", "GetAbuseInfo", 0, path);
  Settings.PreferRDAP = ReadIniInt("Config", "PreferRDAP", 0, path);
  Settings.Enabled = ReadIniInt("Proxy", "Enabled", 0, path);
  Settings.Debug = ReadIniInt("Proxy", "Debug", 0, path);
  Settings.Type = ReadIniInt("Proxy", "Type", 0, path);
  Settings.UseAuth = ReadIniInt("Proxy", "UseAuth", 0, path);
  Settings.Resolve = ReadIniInt("Proxy", "Resolve", 0, path);
  ReadIniString("Proxy", "Server", "", Settings.Server, ServerReadCapacity, path);
  ReadIniString("Proxy", "Login", "", Settings.Login, LoginReadCapacity, path);
  char stored[StoredPassCapacity];
  const int storedLength = ReadIniString("Proxy", "Pass", "", stored, sizeof stored, path);
  Settings.Port = ReadIniInt("Proxy", "Port", 80, path);

  // Decoded into zeros, one byte short of the field, so the password ends terminated.
  std::memset(Settings.Pass, 0, sizeof Settings.Pass);
  Base64Decode(stored, Settings.Pass, storedLength, ProxyTextCapacity - 1);
}

void SaveSettingsRecord(const char* path) {
  if (!Usable(path)) return;
  const OutputCharFormat& format = Settings.OutputFormat;
  WriteIniString("Config", "Font", format.Font, path);
  WriteIntSetting(path, "Config", "dwEffects", static_cast<int>(format.dwEffects));
  WriteIntSetting(path, "Config", "CharSet", format.CharSet);
  WriteIntSetting(path, "Config", "FontSize", format.FontSize);
  WriteIntSetting(path, "Config", "ResolveDomain", Settings.ResolveDomain);
  WriteIntSetting(path, "Config", "ReverseIP", Settings.ReverseIP);
  WriteIntSetting(path, "Config", "GetAbuseInfo", Settings.GetAbuseInfo);
  WriteIntSetting(path, "Config", "PreferRDAP", Settings.PreferRDAP);

  WriteIntSetting(path, "Proxy", "Enabled", Settings.Enabled);
  WriteIntSetting(path, "Proxy", "Debug", Settings.Debug);
  WriteIntSetting(path, "Proxy", "Type", Settings.Type);
  WriteIniString("Proxy", "Server", Settings.Server, path);
  WriteIntSetting(path, "Proxy", "Port", Settings.Port);
  WriteIniString("Proxy", "Login", Settings.Login, path);
  // Room for the Base64 form of the longest password the field holds.
  char encoded[StoredPassCapacity];
  const char* stored = "";
  if (Settings.Pass[0] && Base64Encode(Settings.Pass, encoded, sizeof encoded)) stored = encoded;
  WriteIniString("Proxy", "Pass", stored, path);
  WriteIntSetting(path, "Proxy", "UseAuth", Settings.UseAuth);
  WriteIntSetting(path, "Proxy", "Resolve", Settings.Resolve);
}
