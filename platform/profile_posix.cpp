#include "platform/profile.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>

#include "platform/profile_text.h"

namespace platform {
namespace {

bool LoadDocument(const char* path, ProfileDocument& doc) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream text;
  text << in.rdbuf();
  doc = ProfileDocument::Parse(text.str());
  return true;
}

}  // namespace

int ReadIniInt(const char* section, const char* key, int fallback, const char* path) {
  ProfileDocument doc;
  if (!LoadDocument(path, doc)) return fallback;
  const std::string* value = doc.Find(section, key);
  return value ? ParseProfileInt(UnquoteProfileValue(*value), fallback) : fallback;
}

int ReadIniString(const char* section, const char* key, const char* fallback, char* buffer,
                      int capacity, const char* path) {
  if (capacity <= 0) return 0;
  ProfileDocument doc;
  const std::string* value = nullptr;
  if (LoadDocument(path, doc)) value = doc.Find(section, key);
  std::string text = value ? UnquoteProfileValue(*value) : std::string(fallback ? fallback : "");
  size_t n = text.size() < static_cast<size_t>(capacity - 1) ? text.size() : static_cast<size_t>(capacity - 1);
  std::memcpy(buffer, text.data(), n);
  buffer[n] = '\0';
  return static_cast<int>(n);
}

// The new text goes to a file beside the old one and replaces it in one
// rename, so a failed write never leaves a half-written settings file.
bool WriteIniString(const char* section, const char* key, const char* value, const char* path) {
  ProfileDocument doc;
  LoadDocument(path, doc);
  if (!doc.Set(section, key, value ? value : "")) return true;
  const std::string text = doc.Serialize();
  // Per process: two running copies may write the same file at once.
  const std::string temporary = std::string(path) + "." + std::to_string(getpid()) + ".tmp";
  FILE* out = std::fopen(temporary.c_str(), "wb");
  if (!out) return false;
  bool ok = std::fwrite(text.data(), 1, text.size(), out) == text.size();
  ok = std::fclose(out) == 0 && ok;
  if (!ok || std::rename(temporary.c_str(), path) != 0) {
    unlink(temporary.c_str());
    return false;
  }
  return true;
}

}  // namespace platform
