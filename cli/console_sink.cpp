#include "cli/console_sink.h"

#include <cstring>

#include "settings/recent_queries.h"

namespace {

// The pane's colours as terminal escapes: green, red, grey, underlined, blue.
const char* Escape(TextKind kind) {
  switch (kind) {
    case Info: return "\x1b[32m";
    case Error: return "\x1b[31m";
    case Detail: return "\x1b[90m";
    case MailLink: return "\x1b[4m";
    case Highlight: return "\x1b[34m";
    default: return nullptr;
  }
}

// The replies come from strangers: escape sequences in them would drive the
// terminal (retitle it, move the cursor, hide or rewrite what was shown).
// Control characters other than tab and line ends are written as "?".
void WriteText(std::FILE* out, const char* text) {
  const char* run = text;
  for (const char* p = text; *p; ++p) {
    const unsigned char c = static_cast<unsigned char>(*p);
    if ((c >= 0x20 && c != 0x7F) || c == '\t' || c == '\n' || c == '\r') continue;
    std::fwrite(run, 1, static_cast<size_t>(p - run), out);
    std::fputc('?', out);
    run = p + 1;
  }
  std::fputs(run, out);
}

}  // namespace

void ConsoleSink::AppendOutput(TextKind kind, const char* text) {
  const char* escape = colour_ ? Escape(kind) : nullptr;
  if (escape) std::fputs(escape, out_);
  WriteText(out_, text);
  if (escape) std::fputs("\x1b[0m", out_);
}

int ConsoleSink::ReadQueryText(char* buffer, int capacity) {
  if (capacity <= 0) return 0;
  size_t n = query_.size() < static_cast<size_t>(capacity - 1) ? query_.size() : static_cast<size_t>(capacity - 1);
  std::memcpy(buffer, query_.data(), n);
  buffer[n] = '\0';
  return static_cast<int>(n);
}

// The console has no list of its own: the lookup goes straight into the
// settings file's list, where the Windows program finds it at its next start.
void ConsoleSink::ShareRecentQuery(const char* text) {
  if (!recentPath_.empty()) RecordRecentQuery(recentPath_.c_str(), text);
}
