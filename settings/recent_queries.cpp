#include "settings/recent_queries.h"

#include <cstdio>

#include "platform/profile.h"
#include "platform/text.h"

namespace {

constexpr char RecentSection[] = "Recent";

void RecentKey(char (&key)[16], int index) { std::snprintf(key, sizeof key, "REC%d", index); }

bool Usable(const char* path) { return path && *path; }

}  // namespace

bool SameRecentQuery(const std::string& a, const std::string& b) { return EqualsIgnoringCase(a, b); }

std::vector<std::string> LoadRecentQueryList(const char* path) {
  std::vector<std::string> entries;
  if (!Usable(path)) return entries;
  for (int i = 0; i < RecentQueryFileLimit; ++i) {
    char key[16], value[RecentQueryCapacity];
    RecentKey(key, i);
    platform::ReadIniString(RecentSection, key, "", value, sizeof value, path);
    if (!value[0]) break;  // the list ends here; keys after it are left-overs
    bool known = false;
    for (const std::string& e : entries) known = known || SameRecentQuery(e, value);
    if (!known) entries.emplace_back(value);
  }
  return entries;
}

// Keys after the empty one, from an earlier and longer list, stay in the file:
// loading stops at the empty key, so they are never read.
void SaveRecentQueryList(const char* path, const std::vector<std::string>& entries) {
  if (!Usable(path)) return;
  const int n = entries.size() < static_cast<size_t>(RecentQueryFileLimit) ? static_cast<int>(entries.size())
                                                                            : RecentQueryFileLimit;
  char key[16];
  for (int i = 0; i < n; ++i) {
    RecentKey(key, i);
    const std::string value = entries[static_cast<size_t>(i)].substr(0, RecentQueryCapacity - 1);
    platform::WriteIniString(RecentSection, key, value.c_str(), path);
  }
  RecentKey(key, n);
  platform::WriteIniString(RecentSection, key, "", path);
}

void MoveRecentQueryToTop(std::vector<std::string>& entries, const std::string& text) {
  for (size_t i = 0; i < entries.size(); ++i) {
    if (!SameRecentQuery(entries[i], text)) continue;
    if (i == 0) return;  // already on top: the old letter case stays
    entries.erase(entries.begin() + static_cast<std::ptrdiff_t>(i));
    break;
  }
  entries.insert(entries.begin(), text);
}

void RecordRecentQuery(const char* path, const char* text) {
  if (!text || !*text) return;
  std::vector<std::string> entries = LoadRecentQueryList(path);
  MoveRecentQueryToTop(entries, text);
  SaveRecentQueryList(path, entries);
}
