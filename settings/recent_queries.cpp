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

// The length of the UTF-8 character that begins at text[at] (2 to 4), or 0
// when no well-formed one begins there (a plain byte, a stray or cut
// sequence, an overlong or surrogate form).
size_t Utf8SequenceAt(const std::string& text, size_t at) {
  size_t length;
  const bool whole = ReadUtf8(reinterpret_cast<const unsigned char*>(text.data()) + at, text.size() - at, length) ==
                     Utf8Step::Valid;
  return whole && length > 1 ? length : 0;
}

// The byte a "%XX" at text[at] stands for, or -1.
int EscapedByteAt(const std::string& text, size_t at) {
  if (at + 2 >= text.size() || text[at] != '%') return -1;
  const int high = HexDigitValue(text[at + 1]), low = HexDigitValue(text[at + 2]);
  return high < 0 || low < 0 ? -1 : high * 16 + low;
}

// At most `capacity` bytes, never ending inside a UTF-8 character.
std::string CutToCapacity(const std::string& text, size_t capacity) {
  if (text.size() <= capacity) return text;
  size_t end = capacity;
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  return text.substr(0, end);
}

}  // namespace

// An entry is kept in the file in ASCII, so that the Windows profile
// functions in any ANSI code page and the POSIX reader all read the same
// bytes: each byte of a UTF-8 character beyond ASCII is written as "%" and
// two upper-case hex digits ("b\xC3\xBCcher.de" as "b%C3%BCcher.de"), and
// "%" itself as "%25". Reading decodes "%25" and the escapes of whole UTF-8
// characters only; any other "%" stays as it stands, and so do the raw
// bytes of an older file (its ANSI code page text), which are written back
// unchanged.
std::string EscapeRecentQuery(const std::string& text) {
  static const char hex[] = "0123456789ABCDEF";
  std::string escaped;
  escaped.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    const size_t length = c >= 0x80 ? Utf8SequenceAt(text, i) : 0;
    if (c == '%' || length > 0) {
      for (size_t k = 0; k < (length > 0 ? length : 1); ++k) {
        const auto b = static_cast<unsigned char>(text[i + k]);
        escaped += '%';
        escaped += hex[b >> 4];
        escaped += hex[b & 0xF];
      }
      i += length > 0 ? length : 1;
    } else {
      escaped += text[i++];
    }
  }
  return escaped;
}

std::string UnescapeRecentQuery(const std::string& text) {
  std::string plain;
  plain.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    const int first = EscapedByteAt(text, i);
    if (first == '%') {
      plain += '%';
      i += 3;
      continue;
    }
    if (first >= 0x80) {
      // As many escapes as the character's lead byte asks for, all of them
      // well-formed together.
      std::string bytes(1, static_cast<char>(first));
      size_t at = i + 3;
      while (bytes.size() < 4) {
        const int next = EscapedByteAt(text, at);
        if (next < 0x80 || next > 0xBF) break;
        bytes += static_cast<char>(next);
        at += 3;
      }
      const size_t length = Utf8SequenceAt(bytes, 0);
      if (length > 0) {
        plain.append(bytes, 0, length);
        i += 3 * length;
        continue;
      }
    }
    plain += text[i++];
  }
  return plain;
}

namespace {

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
    const std::string value = CutToCapacity(UnescapeRecentQuery(platform::UnquoteProfileValue(found->Value)),
                                            RecentQueryCapacity - 1);
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
    SetKey(keys, RecentKey(i),
           EscapeRecentQuery(CutToCapacity(entries[static_cast<size_t>(i)], RecentQueryCapacity - 1)));
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
  std::string query = CutToCapacity(text, RecentQueryCapacity - 1);
  BlankControlCharacters(query);
  if (query.find_first_not_of(" \t") == std::string::npos) return false;
  return platform::EditIniSection(RecentSection, path, [&](std::vector<platform::ProfileKey>& keys) {
    std::vector<std::string> entries = ListFromSection(keys);
    MoveRecentQueryToTop(entries, query);
    PutListIntoSection(keys, entries);
    return true;
  });
}
