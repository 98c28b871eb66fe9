#include "ui/command_tail.h"

namespace {
bool IsBlank(char c) { return c == ' ' || c == '\t'; }
}  // namespace

// The program name is either quoted (to the next quote, which may be followed
// directly by more text) or ends at the first blank. Nothing else in the line
// is interpreted: quotes and blanks inside the tail stay as they are.
std::string CommandTailOf(const char* commandLine) {
  if (!commandLine) return {};
  const char* p = commandLine;
  while (IsBlank(*p)) ++p;
  if (*p == '"') {
    ++p;
    while (*p && *p != '"') ++p;
    if (*p == '"') ++p;
  } else {
    while (*p && !IsBlank(*p)) ++p;
  }
  while (IsBlank(*p)) ++p;
  return p;
}

TailRequest ClassifyCommandTail(const char* tail) {
  if (!tail) return TailRequest::None;
  const char* p = tail;
  while (*p == ' ') ++p;  // only spaces here; a tab is part of the query
  if (*p == '-') return TailRequest::Usage;
  return *p ? TailRequest::Lookup : TailRequest::None;
}
