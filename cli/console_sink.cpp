#include "cli/console_sink.h"

#include <cstring>

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

// Pieces of a reply are flushed together at the end of each received chunk;
// this much text without a flush is written out anyway.
constexpr size_t OutputBufferSize = 64 * 1024;

#ifdef _WIN32
constexpr bool CrLfLineEnds = true;
#else
constexpr bool CrLfLineEnds = false;
#endif

}  // namespace

ConsoleSink::ConsoleSink(std::FILE* out, bool colour, std::string query, std::string recentPath)
    : encoder_(new platform::TextEncoder()),
      out_(out, OutputBufferSize, true, CrLfLineEnds, encoder_.get()),
      errors_(nullptr, 4096, false, false, encoder_.get()),
      staged_(new char[OutputBufferSize]),
      stagedCapacity_(OutputBufferSize),
      colour_(colour),
      query_(std::move(query)),
      recent_(std::move(recentPath)) {}

void ConsoleSink::SetQuiet(std::FILE* errors, bool rawReplies) {
  quiet_ = true;
  errors_.writer.SetFile(errors);
  rawReplies_ = rawReplies;
}

void ConsoleSink::SetCharset(const char* charset) {
  encoder_.reset(new platform::TextEncoder(charset));
  out_.charset.SetEncoder(encoder_.get());
  errors_.charset.SetEncoder(encoder_.get());
}

void ConsoleSink::AppendOutput(TextKind kind, const char* text) { Append(kind, "", 0, text, std::strlen(text)); }

// The pieces of a long reply come here by the hundred thousand, most of them
// a few dozen bytes: without colour they go straight into the staging buffer.
void ConsoleSink::AppendPiece(TextKind kind, const char* prefix, size_t prefixLength, const char* text, size_t length) {
  const size_t room = stagedCapacity_ - stagedUsed_;
  if (quiet_ || WriteFailed() || colour_ || (kind != Plain && kind != MailLink) || length > room ||
      prefixLength > room - length)
    return Append(kind, prefix, prefixLength, text, length);
  char* const to = staged_.get() + stagedUsed_;
  if (prefixLength) std::memcpy(to, prefix, prefixLength);
  std::memcpy(to + prefixLength, text, length);
  stagedUsed_ += prefixLength + length;
}

// `prefix` and `text` as one text.
void ConsoleSink::Append(TextKind kind, const char* prefix, size_t prefixLength, const char* text, size_t length) {
  const size_t n = prefixLength + length;
  if (quiet_) {
    if (kind != Error || !errors_.writer.File() || n == 0) return;
    errors_.filter.Put(prefix, prefixLength);
    errors_.filter.Put(text, length);
    errorLineOpen_ = (length ? text[length - 1] : prefix[prefixLength - 1]) != '\n';
    errors_.writer.Flush();
    return;
  }
  if (WriteFailed()) return;
  if (!colour_ && (kind == Plain || kind == MailLink)) {
    if (prefixLength) Stage(prefix, prefixLength);
    Stage(text, length);
    return;
  }
  FilterStaged();
  const char* escape = colour_ ? Escape(kind) : nullptr;
  if (escape) out_.writer.Put(escape, std::strlen(escape));
  out_.filter.Put(prefix, prefixLength);
  out_.filter.Put(text, length);
  if (escape) out_.writer.Put("\x1b[0m", 4);
  // Progress, banners and errors are shown at once; the pieces of a reply
  // wait for the end of their chunk.
  if (kind != Plain && kind != MailLink) out_.writer.Flush();
}

// The filter goes on where it stopped, so a text may come in parts.
void ConsoleSink::Stage(const char* bytes, size_t count) {
  if (count > stagedCapacity_ - stagedUsed_) FilterStaged();
  if (count > stagedCapacity_) {
    out_.filter.Put(bytes, count);
  } else {
    std::memcpy(staged_.get() + stagedUsed_, bytes, count);
    stagedUsed_ += count;
  }
}

void ConsoleSink::FilterStaged() {
  out_.filter.Put(staged_.get(), stagedUsed_);
  stagedUsed_ = 0;
}

void ConsoleSink::AppendHeading(const char* text) {
  FilterStaged();
  out_.filter.Put(text, std::strlen(text));
  out_.writer.Flush();
}

void ConsoleSink::SetStatus(int, const char*) {
  FilterStaged();
  out_.writer.Flush();
}

void ConsoleSink::ReplyChunk(const char* bytes, int count) {
  if (quiet_ && !WriteFailed() && count > 0) {
    if (rawReplies_) out_.writer.Put(bytes, static_cast<size_t>(count));
    else out_.filter.Put(bytes, static_cast<size_t>(count));
  }
  FilterStaged();
  out_.writer.Flush();
}

bool ConsoleSink::Finish() {
  FilterStaged();
  out_.filter.Finish();
  if (out_.writer.File()) out_.writer.Flush();
  if (errors_.writer.File()) {
    errors_.filter.Finish();
    if (errorLineOpen_) errors_.writer.Put('\n');
    errorLineOpen_ = false;
    errors_.writer.Flush();
  }
  recent_.Wait();  // the output first
  return !WriteFailed();
}

int ConsoleSink::ReadQueryText(char* buffer, int capacity) {
  if (capacity <= 0) return 0;
  size_t n = query_.size() < static_cast<size_t>(capacity - 1) ? query_.size() : static_cast<size_t>(capacity - 1);
  std::memcpy(buffer, query_.data(), n);
  buffer[n] = '\0';
  return static_cast<int>(n);
}
