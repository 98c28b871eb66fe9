// A whois reply is read a line at a time. A blank line ends a paragraph; the
// first key of a paragraph, or a heading line of its own ("Registrar:",
// "Nameservers"), names the context its keys are looked up in. A line that is
// not "key: value" continues the last key, which is how the section layouts
// (.uk, .eu, .nl, .it, .pl) list their name servers and registrar names under
// a heading. Comment lines ('%', '#', ">>>") neither end nor start anything.
#include "engine/whois_fields.h"

#include <string>

#include "platform/text.h"

namespace {

// No key is longer than this; a longer "text:" is prose.
constexpr size_t MaxKeyLength = 64;

// Lower case with runs of blanks as one blank.
std::string KeyName(std::string_view key) {
  std::string name;
  for (const char c : TrimLine(key)) {
    if (c == ' ' || c == '\t') {
      if (!name.empty() && name.back() != ' ') name += ' ';
    } else {
      name += c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    }
  }
  return name;
}

bool KeyCharacter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == ' ' || c == '\t' ||
         c == '-' || c == '_' || c == '/' || c == '(' || c == ')' || c == '\'';
}

struct KeyLine {
  std::string Key;
  std::string_view Value;
  bool Bracketed = false;
};

// "Key: value", "Key:" and JPRS's "[Key]   value". Anything else (a host
// name with addresses, a URL, prose) is not a key line.
bool SplitKeyLine(std::string_view line, KeyLine& out) {
  if (line.front() == '[') {
    const size_t close = line.find(']');
    if (close == std::string_view::npos || close > MaxKeyLength) return false;
    out.Key = KeyName(line.substr(1, close - 1));
    out.Value = TrimLine(line.substr(close + 1));
    out.Bracketed = true;
    return !out.Key.empty();
  }
  const size_t colon = line.find(':');
  if (colon == std::string_view::npos || colon == 0 || colon > MaxKeyLength) return false;
  if (colon + 1 < line.size() && line[colon + 1] != ' ' && line[colon + 1] != '\t') return false;
  const char first = line.front();
  if (!((first >= 'a' && first <= 'z') || (first >= 'A' && first <= 'Z'))) return false;
  for (size_t i = 0; i < colon; ++i)
    if (!KeyCharacter(line[i])) return false;
  out.Key = KeyName(line.substr(0, colon));
  out.Value = TrimLine(line.substr(colon + 1));
  out.Bracketed = false;
  return true;
}

// RIPE and the other RPSL registries put the abuse address in a comment:
// "% Abuse contact for '192.0.2.0 - 192.0.2.255' is 'abuse@example.net'".
void AbuseComment(std::string_view line, LookupFields& out) {
  if (line.find("Abuse contact for") == std::string_view::npos) return;
  const size_t is = line.find("' is '");
  if (is == std::string_view::npos) return;
  const std::string_view rest = line.substr(is + 6);
  const size_t end = rest.find('\'');
  if (end == std::string_view::npos) return;
  out.Offer(Field::AbuseEmail, CleanFieldValue(Field::AbuseEmail, rest.substr(0, end)), 1);
}

bool Apply(const std::string& context, const std::string& key, std::string_view value, LookupFields& out) {
  const FieldKey* entry = FindFieldKey(context, key);
  if (!entry) return false;
  if (entry->Target == Field::Status) {
    // Some registries list several states on one line: "REGISTERED, DELEGATED".
    bool any = false;
    size_t start = 0;
    while (start <= value.size()) {
      const size_t comma = value.find(',', start);
      const std::string code = CleanFieldValue(Field::Status, value.substr(start, comma - start));
      any = any || !code.empty();
      out.Offer(Field::Status, code, entry->Rank);
      if (comma == std::string_view::npos) break;
      start = comma + 1;
    }
    return any;
  }
  std::string clean = CleanFieldValue(entry->Target, value);
  if (clean.empty()) return false;
  out.Offer(entry->Target, std::move(clean), entry->Rank);
  return true;
}

}  // namespace

bool ParseWhoisReply(std::string_view text, LookupFields& out) {
  std::string context, lastKey;
  bool lastBracketed = false, found = false;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view line = TrimLine(text.substr(start, end - start));
    start = end + 1;
    if (line.empty()) {
      context.clear();
      lastKey.clear();
      continue;
    }
    if (line.front() == '%' || line.front() == '#') {
      AbuseComment(line, out);
      continue;
    }
    if (line.compare(0, 3, ">>>") == 0) continue;
    KeyLine keyLine;
    if (SplitKeyLine(line, keyLine)) {
      if (context.empty()) context = keyLine.Key;
      lastKey = keyLine.Key;
      lastBracketed = keyLine.Bracketed;
      if (!keyLine.Value.empty()) found = Apply(lastBracketed ? "[]" : context, lastKey, keyLine.Value, out) || found;
    } else if (context.empty()) {
      // A heading without a colon (.it: "Registrant", "Nameservers").
      context = KeyName(line);
      lastKey = context;
      lastBracketed = false;
    } else if (!lastKey.empty()) {
      found = Apply(lastBracketed ? "[]" : context, lastKey, line, out) || found;
    }
  }
  return found;
}
