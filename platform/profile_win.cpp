#include "platform/profile.h"

#include <windows.h>

#include <string>

#include "platform/profile_text.h"

namespace platform {

int ReadIniInt(const char* section, const char* key, int fallback, const char* path) {
  return static_cast<int>(GetPrivateProfileIntA(section, key, fallback, path));
}

int ReadIniString(const char* section, const char* key, const char* fallback, char* buffer, int capacity,
                  const char* path) {
  if (capacity <= 0) return 0;
  return static_cast<int>(GetPrivateProfileStringA(section, key, fallback, buffer, static_cast<DWORD>(capacity), path));
}

IniFileReader::IniFileReader(const char* path) : path_(path ? path : "") {}

int IniFileReader::ReadInt(const char* section, const char* key, int fallback) const {
  return ReadIniInt(section, key, fallback, path_.c_str());
}

int IniFileReader::ReadString(const char* section, const char* key, const char* fallback, char* buffer,
                              int capacity) const {
  return ReadIniString(section, key, fallback, buffer, capacity, path_.c_str());
}

namespace {

// One lock for every running copy's writes of a settings file. Held
// only around two file accesses; a copy that cannot get it within a few
// seconds writes anyway rather than lose its change. A copy that died
// holding it leaves it abandoned, which hands it on.
class FileLock {
 public:
  FileLock() : mutex_(CreateMutexA(nullptr, FALSE, "merrowgate settings file")) {
    if (mutex_) {
      const DWORD wait = WaitForSingleObject(mutex_, 5000);
      owned_ = wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED;
    }
  }
  ~FileLock() {
    if (owned_) ReleaseMutex(mutex_);
    if (mutex_) CloseHandle(mutex_);
  }
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

 private:
  HANDLE mutex_;
  bool owned_ = false;
};

// The section as "name=value" strings, each terminated, the last followed by
// a second terminator. A buffer that was too small comes back filled to its
// size less 2.
bool ReadSection(const char* section, const char* path, std::string& block) {
  for (DWORD size = 16384; size <= (64u << 20); size *= 2) {
    block.assign(size, '\0');
    const DWORD n = GetPrivateProfileSectionA(section, &block[0], size, path);
    if (n < size - 2) {
      block.resize(n);
      return true;
    }
  }
  return false;
}

}  // namespace

// The system functions write a line break in a text as it stands.
bool WriteIniString(const char* section, const char* key, const char* value, const char* path) {
  if (!FitsOneProfileLine(section) || !FitsOneProfileLine(key) || !FitsOneProfileLine(value)) return false;
  FileLock lock;
  return WritePrivateProfileStringA(section, key, value, path) != FALSE;
}

bool EditIniSection(const char* section, const char* path, const IniSectionEdit& edit) {
  if (!FitsOneProfileLine(section)) return false;
  FileLock lock;
  std::string block;
  if (!ReadSection(section, path, block)) return false;
  std::vector<ProfileKey> keys;
  for (size_t at = 0; at < block.size();) {
    const size_t end = block.find('\0', at);
    const std::string line = block.substr(at, end == std::string::npos ? std::string::npos : end - at);
    at = end == std::string::npos ? block.size() : end + 1;
    const size_t eq = line.find('=');
    if (eq == std::string::npos) keys.push_back(ProfileKey{line, {}, false});
    else keys.push_back(ProfileKey{line.substr(0, eq), line.substr(eq + 1), true});
  }
  if (!edit(keys)) return true;
  std::string written;
  for (const ProfileKey& k : keys) {
    if (!FitsOneProfileLine(k.Name.c_str()) || !FitsOneProfileLine(k.Value.c_str())) return false;
    written += k.Name;
    if (k.HasValue) written += "=" + k.Value;
    written += '\0';
  }
  written += '\0';
  return WritePrivateProfileSectionA(section, written.c_str(), path) != FALSE;
}

}  // namespace platform
