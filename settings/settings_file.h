// Reading and writing the Config and Proxy sections of the settings file.
#pragma once

// Fills Settings from the file at `path` (defaults for what is absent).
void LoadSettingsRecord(const char* path);
// Writes both sections, in the key order of a freshly created file.
void SaveSettingsRecord(const char* path);

// Read capacities, terminator included. Server, Login and the stored password
// hold everything that the proxy dialog accepts (127 characters, which is 172
// in Base64), so a value the program wrote comes back whole.
constexpr int ServerReadCapacity = 128;
constexpr int LoginReadCapacity = 128;
constexpr int StoredPassCapacity = 176;
