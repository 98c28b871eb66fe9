// RDAP answers come from servers we do not control and bootstrap copies from
// a cache file anyone may edit: both are size- and depth-checked before the
// JSON library sees them, so its recursive parts never meet hostile nesting.
#include "engine/rdap_json.h"

int JsonNestingDepth(const std::string& text, int limit) {
  int depth = 0, deepest = 0;
  bool inString = false, escaped = false;
  for (const char c : text) {
    if (inString) {
      if (escaped) escaped = false;
      else if (c == '\\') escaped = true;
      else if (c == '"') inString = false;
      continue;
    }
    if (c == '"') {
      inString = true;
    } else if (c == '[' || c == '{') {
      if (++depth > deepest) deepest = depth;
      if (deepest > limit) return deepest;
    } else if ((c == ']' || c == '}') && depth > 0) {
      --depth;
    }
  }
  return deepest;
}

JsonVerdict ParseBoundedJson(const std::string& text, nlohmann::json& out) {
  if (text.size() > RdapAnswerLimit) return JsonVerdict::TooLarge;
  if (JsonNestingDepth(text, RdapNestingLimit) > RdapNestingLimit) return JsonVerdict::TooDeep;
  out = nlohmann::json::parse(text, nullptr, /*allow_exceptions=*/false);
  return out.is_discarded() ? JsonVerdict::NotJson : JsonVerdict::Parsed;
}
