#include "platform/profile.h"

#include <windows.h>

namespace platform {

int ReadIniInt(const char* section, const char* key, int fallback, const char* path) {
  return static_cast<int>(GetPrivateProfileIntA(section, key, fallback, path));
}

int ReadIniString(const char* section, const char* key, const char* fallback, char* buffer,
                      int capacity, const char* path) {
  if (capacity <= 0) return 0;
  return static_cast<int>(
      GetPrivateProfileStringA(section, key, fallback, buffer, static_cast<DWORD>(capacity), path));
}

bool WriteIniString(const char* section, const char* key, const char* value, const char* path) {
  return WritePrivateProfileStringA(section, key, value, path) != FALSE;
}

}  // namespace platform
