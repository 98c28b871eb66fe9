#include "net/output_sink.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

// Message texts that carry a value are formatted into 1024 bytes.
constexpr int MessageCapacity = 1024;

}  // namespace

// A short piece (most are: a word, a line) is joined on the stack; a longer
// one in a string of its own. Nothing is shared, so sinks of lookups that run
// at once never meet here.
void OutputSink::AppendPiece(TextKind kind, const char* prefix, std::size_t prefixLength, const char* text,
                             std::size_t length) {
  char local[512];
  if (prefixLength + length < sizeof local) {
    if (prefixLength) std::memcpy(local, prefix, prefixLength);
    if (length) std::memcpy(local + prefixLength, text, length);
    local[prefixLength + length] = '\0';
    AppendOutput(kind, local);
    return;
  }
  std::string joined;
  joined.reserve(prefixLength + length);
  joined.append(prefix, prefixLength);
  joined.append(text, length);
  AppendOutput(kind, joined.c_str());
}

void AppendFormatted(OutputSink& out, TextKind kind, const char* format, ...) {
  char text[MessageCapacity];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);  // cuts, always terminates
  va_end(args);
  out.AppendOutput(kind, text);
}

void SetStatusFormatted(OutputSink& out, int part, const char* format, ...) {
  char text[MessageCapacity];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  out.SetStatus(part, text);
}
