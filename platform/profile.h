// Private-profile (INI) file functions: the Win32 ones on Windows, an own
// implementation with the same behaviour elsewhere.
#pragma once

namespace platform {

// The value read as a signed decimal integer; the default when the file, the
// section or the key is absent.
int ReadIniInt(const char* section, const char* key, int fallback, const char* path);
// Copies the value, cut to capacity - 1 characters and terminated (the default
// when absent); returns the number of characters copied.
int ReadIniString(const char* section, const char* key, const char* fallback, char* buffer,
                      int capacity, const char* path);
// Creates the file, section and key as needed; replaces an existing value in
// place; an empty text writes "key=". false when the file cannot be written.
bool WriteIniString(const char* section, const char* key, const char* value, const char* path);

}  // namespace platform
