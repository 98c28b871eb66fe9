#include "ui/link_policy.h"

#include <cstring>

#include "platform/text.h"

namespace {

// The shell splits its file argument at blanks and quotes on some paths and
// hands it to whatever program serves the scheme, so a link that holds them
// could smuggle in options; control characters never belong in a link.
bool HasUnsafeCharacter(const std::string& text) {
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte <= 0x20 || byte == 0x7F || c == '"' || c == '\'') return true;
  }
  return false;
}

}  // namespace

std::string OpenableLink(const std::string& text) {
  if (text.size() > MaxLinkLength || HasUnsafeCharacter(text)) return {};
  // A mail link opens a message to its address and no more: no attachments,
  // extra recipients or headers from a "?" part.
  if (StartsWithIgnoringCase(text, "mailto:"))
    return text.size() > 7 && text.find('?') == std::string::npos ? text : std::string();
  const char* const schemes[] = {"http://", "https://", "ftp://"};
  for (const char* scheme : schemes)
    if (StartsWithIgnoringCase(text, scheme) && text.size() > std::strlen(scheme)) return text;
  if (StartsWithIgnoringCase(text, "www.") && text.size() > 4) {
    if (text.size() + 7 > MaxLinkLength) return {};
    return "http://" + text;
  }
  return {};
}
