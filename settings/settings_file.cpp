#include "settings/settings_file.h"

#include <cstdio>
#include <cstring>
#include <memory>

#include "net/base64.h"
#include "platform/profile.h"
#include "settings/settings.h"

using platform::WriteIniString;

namespace {

// Without a usable path (the executable's own path was not found, or is too
// long) nothing is read or written: the Windows functions would otherwise
// fall back to a file in the Windows directory.
bool Usable(const char* path) { return path && *path; }

// The file is read once for all the keys; without a usable path every key
// has its default.
class SettingsReader {
 public:
  explicit SettingsReader(const char* path) {
    if (Usable(path)) file_.reset(new platform::IniFileReader(path));
  }
  int Int(const char* section, const char* key, int fallback) const {
    return file_ ? file_->ReadInt(section, key, fallback) : fallback;
  }
  int String(const char* section, const char* key, const char* fallback, char* buffer, int capacity) const {
    if (file_) return file_->ReadString(section, key, fallback, buffer, capacity);
    CopyText(buffer, capacity, fallback);
    return static_cast<int>(std::strlen(buffer));
  }

 private:
  std::unique_ptr<platform::IniFileReader> file_;
};

void WriteIntSetting(const char* path, const char* section, const char* key, int value) {
  char text[16];
  std::snprintf(text, sizeof text, "%d", value);
  WriteIniString(section, key, text, path);
}

}  // namespace

void LoadSettingsRecord(const char* path) {
  const SettingsReader file(path);
  OutputCharFormat& format = Settings.OutputFormat;
  format = OutputCharFormat{};
  format.Size = sizeof(OutputCharFormat);
  format.Mask = OutputFormatMask;
  format.CharSet = static_cast<std::uint8_t>(file.Int("Config", "CharSet", 0) & 0xFF);
  format.dwEffects = static_cast<std::uint32_t>(file.Int("Config", "dwEffects", 0));
  format.FontSize = file.Int("Config", "FontSize", 180);
  file.String("Config", "Font", "Fixedsys", format.Font, FontCapacity);
  Settings.ResolveDomain = file.Int("Config", "ResolveDomain", 1);
  Settings.ReverseIP = file.Int("Config", "ReverseIP", 1);
  Settings.GetAbuseInfo = file.Int("Config", "GetAbuseInfo", 0);
  Settings.PreferRDAP = file.Int("Config", "PreferRDAP", 0);
  Settings.Enabled = file.Int("Proxy", "Enabled", 0);
  Settings.Debug = file.Int("Proxy", "Debug", 0);
  Settings.Type = file.Int("Proxy", "Type", 0);
  Settings.UseAuth = file.Int("Proxy", "UseAuth", 0);
  Settings.Resolve = file.Int("Proxy", "Resolve", 0);
  file.String("Proxy", "Server", "", Settings.Server, ServerReadCapacity);
  file.String("Proxy", "Login", "", Settings.Login, LoginReadCapacity);
  char stored[StoredPassCapacity];
  const int storedLength = file.String("Proxy", "Pass", "", stored, sizeof stored);
  Settings.Port = file.Int("Proxy", "Port", 80);

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
