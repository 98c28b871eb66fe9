#include "net/output_sink.h"

#include <cstdarg>
#include <cstdio>
#include <string>

namespace {

// Until a front end installs its sink, reports go nowhere.
QuietSink nullSink;
OutputSink* currentSink = &nullSink;

// Message texts that carry a value are formatted into 1024 bytes.
constexpr int MessageCapacity = 1024;

}  // namespace

void SetOutputSink(OutputSink* sink) { currentSink = sink ? sink : &nullSink; }
OutputSink& Output() { return *currentSink; }

// One buffer serves every piece, so that a long reply full of e-mail words
// does not cost an allocation per word; only the worker thread runs exchanges.
void OutputSink::AppendPiece(TextKind kind, const char* prefix, std::size_t prefixLength, const char* text,
                             std::size_t length) {
  static std::string joined;
  joined.clear();  // (assign and the iterator append go the slow, overlap-safe way)
  joined.append(prefix, prefixLength);
  joined.append(text, length);
  AppendOutput(kind, joined.c_str());
}

void AppendFormatted(TextKind kind, const char* format, ...) {
  char text[MessageCapacity];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);  // cuts, always terminates
  va_end(args);
  currentSink->AppendOutput(kind, text);
}

void SetStatusFormatted(int part, const char* format, ...) {
  char text[MessageCapacity];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  currentSink->SetStatus(part, text);
}
