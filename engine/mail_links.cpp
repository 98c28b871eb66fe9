#include "engine/mail_links.h"

#include <cstdint>
#include <cstring>

#include "platform/text.h"

namespace {

// Space, tab, CR or LF.
bool IsBlank(char c) {
  const unsigned char u = static_cast<unsigned char>(c);
  return u <= ' ' && ((std::uint64_t{1} << u) & ((std::uint64_t{1} << ' ') | (1u << '\t') | (1u << '\r') | (1u << '\n')));
}

// The high bit of each of the 8 bytes at p (the first in the lowest bits)
// that is at most ' ', where every blank is. Exact per byte: no carry
// crosses from one byte into the next.
std::uint64_t LowBytes(const char* p) {
  const std::uint64_t x = LoadBytesLowFirst(p);
  constexpr std::uint64_t Ones = 0x0101010101010101ull, High = 0x8080808080808080ull;
  return ~(((x & ~High) + (0x7F - ' ') * Ones) | x) & High;
}

// An e-mail word runs from a blank to a blank; most of its bytes are far
// from one, so they are passed over eight at a time.
const char* WordEnd(const char* p, const char* end) {
  for (;;) {
    while (end - p >= 8) {
      const std::uint64_t m = LowBytes(p);
      if (m) {
        p += __builtin_ctzll(m) / 8;
        break;
      }
      p += 8;
    }
    while (p < end && static_cast<unsigned char>(*p) > ' ') ++p;
    if (p == end || IsBlank(*p)) return p;
    ++p;  // a control character other than a blank is part of the word
  }
}

const char* WordStart(const char* from, const char* p) {
  for (;;) {
    while (p - from >= 8) {
      const std::uint64_t m = LowBytes(p - 8);
      if (m) {
        p -= 8 - (63 - __builtin_clzll(m)) / 8 - 1;
        break;
      }
      p -= 8;
    }
    while (p > from && static_cast<unsigned char>(p[-1]) > ' ') --p;
    if (p == from || IsBlank(p[-1])) return p;
    --p;
  }
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
