#include "ui/link_policy.h"

#include <cstring>

#include "platform/text.h"

std::string OpenableLink(const std::string& text) {
  // Control characters never belong in a link; the shell must not see them.
  for (char c : text)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return {};
  const char* const schemes[] = {"http://", "https://", "ftp://", "mailto:"};
  for (const char* scheme : schemes)
    if (StartsWithIgnoringCase(text, scheme) && text.size() > std::strlen(scheme)) return text;
  if (StartsWithIgnoringCase(text, "www.") && text.size() > 4) return "http://" + text;
  return {};
}
