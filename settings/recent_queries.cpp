#include "settings/recent_queries.h"

#include <cstdio>

#include "platform/profile.h"
#include "platform/text.h"

namespace {

constexpr char RecentSection[] = "Recent";

std::string RecentKey(int index) {
  char key[16];
  std::snprintf(key, sizeof key, "REC%d", index);
  return key;
}

bool Usable(const char* path) { return path && *path; }

// The list as the section holds it: REC0 onwards up to the first empty or
// absent key (the first key of a name counts), later duplicates dropped.
std::vector<std::string> ListFromSection(const std::vector<platform::ProfileKey>& keys) {
  std::vector<std::string> entries;
  for (int i = 0; i < RecentQueryFileLimit; ++i) {
    const std::string key = RecentKey(i);
    const platform::ProfileKey* found = nullptr;
    for (const platform::ProfileKey& k : keys)
      if (EqualsIgnoringCase(k.Name, key)) {
        found = &k;
        break;
      }
    if (!found || !found->HasValue) break;
    const std::string value = platform::UnquoteProfileValue(found->Value).substr(0, RecentQueryCapacity - 1);
    if (value.empty()) break;  // the list ends here; keys after it are left-overs
    bool known = false;
    for (const std::string& e : entries) known = known || SameRecentQuery(e, value);
    if (!known) entries.push_back(value);
  }
  return entries;
}

void SetKey(std::vector<platform::ProfileKey>& keys, const std::string& name, const std::string& value) {
  for (platform::ProfileKey& k : keys)
    if (EqualsIgnoringCase(k.Name, name)) {
      k.Value = value;
      k.HasValue = true;
      return;
    }
  keys.push_back(platform::ProfileKey{name, value, true});
}

// The first 100 entries as REC0 onwards, then an empty key after the last.
// Keys after the empty one, from an earlier and longer list, stay in the file:
// loading stops at the empty key, so they are never read.
void PutListIntoSection(std::vector<platform::ProfileKey>& keys, const std::vector<std::string>& entries) {
  const int n = entries.size() < static_cast<size_t>(RecentQueryFileLimit) ? static_cast<int>(entries.size())
                                                                            : RecentQueryFileLimit;
  for (int i = 0; i < n; ++i)
    SetKey(keys, RecentKey(i), entries[static_cast<size_t>(i)].substr(0, RecentQueryCapacity - 1));
  SetKey(keys, RecentKey(n), "");
}

}  // namespace

bool SameRecentQuery(const std::string& a, const std::string& b) { return EqualsIgnoringCase(a, b); }

std::vector<std::string> LoadRecentQueryList(const char* path) {
  std::vector<std::string> entries;
  if (!Usable(path)) return entries;
  platform::EditIniSection(RecentSection, path, [&](std::vector<platform::ProfileKey>& keys) {
    entries = ListFromSection(keys);
    return false;
  });
  return entries;
}

void SaveRecentQueryList(const char* path, const std::vector<std::string>& entries) {
  if (!Usable(path)) return;
  platform::EditIniSection(RecentSection, path, [&](std::vector<platform::ProfileKey>& keys) {
    PutListIntoSection(keys, entries);
    return true;
  });
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

// Read and written in one step under the lock of every running copy, so what
// another copy recorded meanwhile stays: the new text on top, then the list as
// the file has it. A line break would start new lines (sections even) in the
// file, so control characters are blanked first.
bool RecordRecentQuery(const char* path, const char* text) {
  if (!Usable(path) || !text) return false;
  std::string query = std::string(text).substr(0, RecentQueryCapacity - 1);
  BlankControlCharacters(query);
  if (query.find_first_not_of(" \t") == std::string::npos) return false;
  return platform::EditIniSection(RecentSection, path, [&](std::vector<platform::ProfileKey>& keys) {
    std::vector<std::string> entries = ListFromSection(keys);
    MoveRecentQueryToTop(entries, query);
    PutListIntoSection(keys, entries);
    return true;
  });
}
