#include "platform/profile_text.h"

#include <cstdint>
#include <cstring>

#include "platform/text.h"

namespace platform {
namespace {

// Ctrl-Z counts as a blank: old editors ended text files with it.
bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v' || c == '\x1a';
}

std::string Trim(const char* begin, const char* end) {
  while (begin < end && IsBlank(*begin)) ++begin;
  while (end > begin && IsBlank(end[-1])) --end;
  return std::string(begin, end);
}

std::string Trim(const char* text) { return Trim(text, text + std::strlen(text)); }

const char ByteOrderMark[] = "\xEF\xBB\xBF";

}  // namespace

// Lines end at CR or LF, alone or in pairs (the pair leaves an empty line,
// which is dropped), as old Macintosh editors wrote them.
// There is no comment syntax: a ";" line is a key like any other, split at
// its first "=", which is how the Windows functions write it back. A key
// line with an empty name directly after another one is dropped.
ProfileDocument ProfileDocument::Parse(const std::string& text) {
  ProfileDocument doc;
  const char* p = text.data();
  const char* const end = p + text.size();
  if (text.compare(0, 3, ByteOrderMark) == 0) {
    doc.byteOrderMark_ = true;
    p += 3;
  }
  while (p < end) {
    const char* lineEnd = p;
    while (lineEnd < end && *lineEnd != '\n' && *lineEnd != '\r') ++lineEnd;
    const char* start = p;
    p = lineEnd < end ? lineEnd + 1 : end;
    while (start < lineEnd && IsBlank(*start)) ++start;
    while (lineEnd > start && IsBlank(lineEnd[-1])) --lineEnd;
    if (start == lineEnd) continue;  // blank lines are not kept

    if (*start == '[') {
      const char* close = lineEnd - 1;
      while (close > start && *close != ']') --close;
      if (close > start) {  // text after the "]" is ignored
        doc.sections_.push_back(ProfileSection{Trim(start + 1, close), {}});
        continue;
      }
    }
    ProfileKey key;
    const char* eq = static_cast<const char*>(std::memchr(start, '=', static_cast<size_t>(lineEnd - start)));
    if (eq) {
      key.Name = Trim(start, eq);
      key.Value = Trim(eq + 1, lineEnd);
      key.HasValue = true;
    } else {
      key.Name = std::string(start, lineEnd);
    }
    std::vector<ProfileKey>& keys = doc.sections_.back().Keys;
    if (key.Name.empty() && !keys.empty() && keys.back().Name.empty()) continue;
    keys.push_back(std::move(key));
  }
  return doc;
}

std::string ProfileDocument::Serialize() const {
  std::string out = byteOrderMark_ ? ByteOrderMark : "";
  for (const ProfileSection& section : sections_) {
    // Only the lines before the first header go without one; a "[]" section
    // keeps its header, or its keys would join the section above it.
    if (&section != &sections_.front()) out += "[" + section.Name + "]\r\n";
    for (const ProfileKey& key : section.Keys) {
      out += key.Name;
      if (key.HasValue) out += "=" + key.Value;
      out += "\r\n";
    }
  }
  return out;
}

const std::string* ProfileDocument::Find(const char* section, const char* key) const {
  const std::string sectionName = Trim(section), keyName = Trim(key);
  if (keyName.empty()) return nullptr;
  for (const ProfileSection& s : sections_) {
    if (!EqualsIgnoringCase(s.Name, sectionName)) continue;
    // Only the first section of a name counts; a repeated header is dead text.
    for (const ProfileKey& k : s.Keys)
      if (EqualsIgnoringCase(k.Name, keyName)) return k.HasValue ? &k.Value : nullptr;
    return nullptr;
  }
  return nullptr;
}

bool ProfileDocument::Set(const char* section, const char* key, const char* value) {
  const std::string sectionName = Trim(section), keyName = Trim(key);
  while (IsBlank(*value)) ++value;  // leading blanks would not survive a read anyway
  ProfileSection* target = nullptr;
  for (ProfileSection& s : sections_) {
    if (EqualsIgnoringCase(s.Name, sectionName)) {
      target = &s;
      break;
    }
  }
  if (!target) {
    sections_.push_back(ProfileSection{sectionName, {}});
    target = &sections_.back();
  }
  for (ProfileKey& k : target->Keys) {
    if (!EqualsIgnoringCase(k.Name, keyName)) continue;
    if (k.HasValue && k.Value == value) return false;
    k.Value = value;
    k.HasValue = true;
    return true;
  }
  target->Keys.push_back(ProfileKey{keyName, value, true});
  return true;
}

std::vector<ProfileKey> ProfileDocument::Section(const char* section) const {
  const std::string name = Trim(section);
  for (const ProfileSection& s : sections_)
    if (EqualsIgnoringCase(s.Name, name)) return s.Keys;
  return {};
}

void ProfileDocument::ReplaceSection(const char* section, std::vector<ProfileKey> keys) {
  const std::string name = Trim(section);
  for (ProfileSection& s : sections_) {
    if (!EqualsIgnoringCase(s.Name, name)) continue;
    s.Keys = std::move(keys);
    return;
  }
  sections_.push_back(ProfileSection{name, std::move(keys)});
}

bool FitsOneProfileLine(const char* text) { return !text || !std::strpbrk(text, "\r\n"); }

std::string UnquoteProfileValue(const std::string& value) {
  if (value.size() > 1 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0])
    return value.substr(1, value.size() - 2);
  return value;
}

int ParseProfileInt(const std::string& value, int fallback) {
  if (value.empty()) return fallback;
  const char* p = value.c_str();
  while (IsBlank(*p)) ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') negative = *p++ == '-';
  unsigned base = 10;
  if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) base = 16, p += 2;
  else if (p[0] == '0' && (p[1] == 'o' || p[1] == 'O')) base = 8, p += 2;
  else if (p[0] == '0' && (p[1] == 'b' || p[1] == 'B')) base = 2, p += 2;
  std::uint32_t result = 0;
  for (;; ++p) {
    unsigned digit;
    if (*p >= '0' && *p <= '9') digit = static_cast<unsigned>(*p - '0');
    else if (*p >= 'a' && *p <= 'f') digit = static_cast<unsigned>(*p - 'a' + 10);
    else if (*p >= 'A' && *p <= 'F') digit = static_cast<unsigned>(*p - 'A' + 10);
    else break;
    if (digit >= base) break;
    result = result * base + digit;  // wraps like the 32-bit original
  }
  if (negative) result = 0u - result;
  return static_cast<int>(result);
}

}  // namespace platform
