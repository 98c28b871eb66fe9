// Settings: the options record of the settings file, one field per INI key,
// which the window's menus and dialogs change; each lookup runs with a copy
// taken at its start (SnapshotSettings).
#pragma once
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "net/proxy_options.h"
#include "platform/text.h"

// The rich edit control's ANSI CHARFORMAT, field for field: the output pane's
// default character format. Font, FontSize, CharSet and dwEffects are stored
// in the settings file under those names.
struct OutputCharFormat {
  std::uint32_t Size;
  std::uint32_t Mask;
  std::uint32_t dwEffects;  // 1 bold, 2 italic
  std::int32_t FontSize;    // twips
  std::int32_t Offset;
  std::uint32_t TextColor;
  std::uint8_t CharSet;
  std::uint8_t PitchAndFamily;
  char Font[32];
};
static_assert(sizeof(OutputCharFormat) == 60, "must match CHARFORMATA");

// Capacities of the text fields, terminator included.
constexpr int FontCapacity = 32;
// size, colour, face, character set, bold, italic
constexpr std::uint32_t OutputFormatMask = 0xE8000003u;
constexpr std::uint32_t EffectBold = 1, EffectItalic = 2;

// Flags and integers are read by the worker while the user-interface thread may
// change them, so each is one atomic word. The proxy texts are written only on
// OK of the proxy dialog.
struct SettingsRecord {
  OutputCharFormat OutputFormat{};
  std::atomic<int> ResolveDomain{0};
  std::atomic<int> ReverseIP{0};
  std::atomic<int> GetAbuseInfo{0};
  std::atomic<int> PreferRDAP{0};
  std::atomic<int> Enabled{0};
  std::atomic<int> Debug{0};
  std::atomic<int> Type{HTTP};
  std::atomic<int> UseAuth{0};
  std::atomic<int> Resolve{0};
  char Server[ProxyTextCapacity] = {};
  char Login[ProxyTextCapacity] = {};
  char Pass[ProxyTextCapacity] = {};  // plain in memory, Base64 in the file
  std::atomic<int> Port{80};
  // Seconds without a byte after which a reply wait gives up; 0 waits for
  // ever. Set by the console front end, never stored in the settings file.
  std::atomic<int> IdleTimeout{0};
};

extern SettingsRecord Settings;

// Held by whoever writes the proxy fields while a lookup may run (the proxy
// dialog's OK) and by the worker while it copies them, so that an exchange
// never sees half of a change.
extern std::mutex ProxyOptionsLock;

// The options one lookup runs with: a value copied from `Settings` at its
// start, so that a change in a dialog meanwhile concerns the next lookup only.
struct LookupSettings {
  bool ResolveDomain = false;
  bool ReverseIP = false;
  bool GetAbuseInfo = false;
  bool PreferRDAP = false;
  // With PreferRDAP: a step whose RDAP service gives no answer (unreachable,
  // failed) asks the whois server instead (the console's --json).
  bool WhoisWhenRdapFails = false;
  int IdleTimeout = 0;  // seconds without a byte before a reply wait gives up
  ProxyOptions Proxy;
};
LookupSettings SnapshotSettings();

// A consistent copy of the proxy fields, taken under ProxyOptionsLock, so that
// it never mixes the old server with the new port, or half of a new password.
ProxyOptions SnapshotProxyOptions();

// Puts every field back to its value at process start.
void ResetSettings();

// "merrowgate.ini" in the directory of the executable; empty when the
// executable's path cannot be determined or the result would not fit.
std::string SettingsFilePath();
// The console program's settings file: the one beside the executable where it
// exists (a portable copy) or where users keep no configuration folder
// (Windows); otherwise merrowgate/merrowgate.ini in the user's configuration
// folder, which is created as needed.
std::string ConsoleSettingsFilePath();
