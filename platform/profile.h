// Private-profile (INI) file functions: the Win32 ones on Windows, an own
// implementation with the same behaviour elsewhere.
#pragma once
#include <functional>
#include <string>
#include <vector>

#include "platform/profile_text.h"

namespace platform {

// The value read as a signed decimal integer; the default when the file, the
// section or the key is absent.
int ReadIniInt(const char* section, const char* key, int fallback, const char* path);
// Copies the value, cut to capacity - 1 characters and terminated (the default
// when absent); returns the number of characters copied.
int ReadIniString(const char* section, const char* key, const char* fallback, char* buffer, int capacity,
                  const char* path);
// Many values of one file, as ReadIniInt and ReadIniString give them. The
// POSIX form reads and parses the file once, when it is made; on Windows each
// value is read by the profile functions, which keep the file cached.
class IniFileReader {
 public:
  explicit IniFileReader(const char* path);
  int ReadInt(const char* section, const char* key, int fallback) const;
  int ReadString(const char* section, const char* key, const char* fallback, char* buffer, int capacity) const;

 private:
#ifdef _WIN32
  std::string path_;
#else
  ProfileDocument doc_;
  bool loaded_ = false;
#endif
};

// Creates the file, section and key as needed; replaces an existing value in
// place; an empty text writes "key=". false when the file cannot be written
// or a text holds a line break (nothing is written then).
bool WriteIniString(const char* section, const char* key, const char* value, const char* path);

// One read and one write of a whole section, with `edit` in between; values
// as they stand in the file (quotes kept). Every running copy of the program
// takes the same lock for it, so no other copy's edit falls between the read
// and the write. `edit` returns false to leave the file alone. false when the
// file cannot be written or a line would hold a line break.
using IniSectionEdit = std::function<bool(std::vector<ProfileKey>& keys)>;
bool EditIniSection(const char* section, const char* path, const IniSectionEdit& edit);

}  // namespace platform
