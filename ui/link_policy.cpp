#include "ui/link_policy.h"

#include <cctype>
#include <cstring>

namespace {

bool StartsWithNoCase(const std::string& text, const char* prefix) {
  const size_t n = std::strlen(prefix);
  if (text.size() < n) return false;
  for (size_t i = 0; i < n; ++i)
    if (std::tolower(static_cast<unsigned char>(text[i])) != prefix[i]) return false;
  return true;
}

}  // namespace

std::string OpenableLink(const std::string& text) {
  // Control characters never belong in a link; the shell must not see them.
  for (char c : text)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return {};
  const char* const schemes[] = {"http://", "https://", "ftp://", "mailto:"};
  for (const char* scheme : schemes)
    if (StartsWithNoCase(text, scheme) && text.size() > std::strlen(scheme)) return text;
  if (StartsWithNoCase(text, "www.") && text.size() > 4) return "http://" + text;
  return {};
}
