#include "platform/profile_text.h"

#include <cstdint>
#include <cstring>

namespace platform {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v'; }

std::string Trim(const char* begin, const char* end) {
  while (begin < end && IsBlank(*begin)) ++begin;
  while (end > begin && IsBlank(end[-1])) --end;
  return std::string(begin, end);
}

bool SameName(const std::string& a, const char* b) {
  const size_t n = std::strlen(b);
  if (a.size() != n) return false;
  for (size_t i = 0; i < n; ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

}  // namespace

ProfileDocument ProfileDocument::Parse(const std::string& text) {
  ProfileDocument doc;
  doc.sections_.push_back(ProfileSection{});  // keys before any header
  const char* p = text.data();
  const char* const end = p + text.size();
  while (p < end) {
    const char* lineEnd = p;
    while (lineEnd < end && *lineEnd != '\n' && *lineEnd != '\r') ++lineEnd;
    const char* start = p;
    p = lineEnd;
    while (p < end && (*p == '\n' || *p == '\r')) ++p;

    while (start < lineEnd && IsBlank(*start)) ++start;
    if (start == lineEnd) continue;  // blank lines are not kept

    if (*start == '[') {
      const char* close = lineEnd;
      while (close > start && *close != ']') --close;
      if (*close == ']') {
        doc.sections_.push_back(ProfileSection{std::string(start + 1, close), {}});
        continue;
      }
    }
    ProfileKey key;
    const char* eq = static_cast<const char*>(std::memchr(start, '=', static_cast<size_t>(lineEnd - start)));
    if (eq && *start != ';') {
      key.Name = Trim(start, eq);
      key.Value = Trim(eq + 1, lineEnd);
      key.HasValue = true;
    } else {
      key.Name = Trim(start, lineEnd);  // a comment, or a key without "="
    }
    doc.sections_.back().Keys.push_back(std::move(key));
  }
  return doc;
}

std::string ProfileDocument::Serialize() const {
  std::string out;
  for (const ProfileSection& section : sections_) {
    if (!section.Name.empty()) out += "[" + section.Name + "]\r\n";
    for (const ProfileKey& key : section.Keys) {
      out += key.Name;
      if (key.HasValue) out += "=" + key.Value;
      out += "\r\n";
    }
  }
  return out;
}

const std::string* ProfileDocument::Find(const char* section, const char* key) const {
  for (const ProfileSection& s : sections_) {
    if (!SameName(s.Name, section)) continue;
    for (const ProfileKey& k : s.Keys)
      if (k.Name[0] != ';' && SameName(k.Name, key)) return k.HasValue ? &k.Value : nullptr;
  }
  return nullptr;
}

bool ProfileDocument::Set(const char* section, const char* key, const char* value) {
  while (IsBlank(*value)) ++value;  // leading blanks would not survive a read anyway
  ProfileSection* target = nullptr;
  for (ProfileSection& s : sections_) {
    if (!SameName(s.Name, section)) continue;
    for (ProfileKey& k : s.Keys) {
      if (k.Name[0] == ';' || !SameName(k.Name, key)) continue;
      if (k.HasValue && k.Value == value) return false;
      k.Value = value;
      k.HasValue = true;
      return true;
    }
    if (!target) target = &s;
  }
  if (!target) {
    sections_.push_back(ProfileSection{section, {}});
    target = &sections_.back();
  }
  target->Keys.push_back(ProfileKey{key, value, true});
  return true;
}

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
