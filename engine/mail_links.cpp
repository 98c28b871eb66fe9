#include "engine/mail_links.h"

#include <cstdint>
#include <cstring>

#include "platform/byte_scan.h"
#include "platform/text.h"

namespace {

// An e-mail word runs from a blank (space, tab, CR or LF) to a blank; other
// control characters are part of it.
constexpr platform::ByteSet Blanks{{'\t', '\n'}, {'\r', '\r'}, {' ', ' '}};

const char* WordEnd(const char* p, const char* end) { return platform::FindByte(p, end, Blanks); }

const char* WordStart(const char* from, const char* p) {
  const char* blank = platform::FindLastByte(from, p, Blanks);
  return blank == p ? from : blank + 1;
}

}  // namespace

// Every piece goes to the sink where it lies in the chunk: a reply full of
// e-mail words is mostly short pieces, so nothing is copied or measured here.
void EmitReplyChunk(OutputSink& sink, const char* text) {
  static const char MailTo[] = "mailto:";
  const char* pos = text;
  const char* const end = text + std::strlen(text);
  while (pos < end) {
    const char* at = static_cast<const char*>(std::memchr(pos, '@', static_cast<size_t>(end - pos)));
    const char* limit = at ? at : end;
    const char* wordStart = WordStart(pos, limit);
    if (wordStart > pos) sink.AppendPiece(Plain, "", 0, pos, static_cast<size_t>(wordStart - pos));
    if (!at) {
      if (end > wordStart) sink.AppendPiece(Plain, "", 0, wordStart, static_cast<size_t>(end - wordStart));
      return;
    }
    const char* wordEnd = WordEnd(at + 1, end);
    // A line end after the address goes with the link; spaces and tabs do not.
    while (wordEnd < end && (*wordEnd == '\r' || *wordEnd == '\n')) ++wordEnd;
    sink.AppendPiece(MailLink, MailTo, sizeof MailTo - 1, wordStart, static_cast<size_t>(wordEnd - wordStart));
    pos = wordEnd;
  }
}
