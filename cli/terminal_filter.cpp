#include "cli/terminal_filter.h"

#include <cstring>

#include "platform/byte_scan.h"
#include "platform/text.h"

namespace {

// What the filter passes over without a look: printable ASCII, tab and
// (where line ends stay as they are) LF.
constexpr platform::ByteSet Stops = platform::ByteSet::AllBut({{'\t', '\n'}, {0x20, 0x7E}});
constexpr platform::ByteSet StopsCrLf = platform::ByteSet::AllBut({{'\t', '\t'}, {0x20, 0x7E}});

// The control characters U+0080 to U+009F are 0xC2 0x80 to 0xC2 0x9F.
bool IsC1(const unsigned char* p) { return p[0] == 0xC2 && p[1] <= 0x9F; }

}  // namespace

int Utf8CharacterLength(const unsigned char* p, const unsigned char* end) {
  size_t length;
  switch (ReadUtf8(p, static_cast<size_t>(end - p), length)) {
    case Utf8Step::Valid: return static_cast<int>(length);
    case Utf8Step::Cut: return 0;
    case Utf8Step::Invalid: break;
  }
  return -1;
}

// The replies come from strangers: control characters in them would drive the
// terminal (retitle it, move the cursor, hide or rewrite what was shown).
// Runs of characters that pass go to the next stage as they lie.
void TerminalFilter::Put(const char* text, size_t length) {
  const char* p = text;
  const char* const end = text + length;
  if (heldLength_ && p < end) p = Complete(p, end);
  if (crlf_) Filter<true>(p, end);
  else Filter<false>(p, end);
}

// One way for each line-end mode, so that the scan's byte set is a constant.
template <bool CrLf>
void TerminalFilter::Filter(const char* p, const char* const end) {
  const platform::ByteSet& stops = CrLf ? StopsCrLf : Stops;
  const char* run = p;
  auto passRun = [&](const char* to) {
    if (to > run) next_.Put(run, static_cast<size_t>(to - run));
  };
  while (p < end) {
    const unsigned char c = static_cast<unsigned char>(*p);
    if (c >= 0x80) {
      const unsigned char* u = reinterpret_cast<const unsigned char*>(p);
      const int n = Utf8CharacterLength(u, reinterpret_cast<const unsigned char*>(end));
      if (n > 0 && !IsC1(u)) {
        p += n;
        continue;
      }
      passRun(p);
      if (n == 0) {  // the next part decides
        heldLength_ = static_cast<size_t>(end - p);
        std::memcpy(held_, p, heldLength_);
        return;
      }
      next_.Put('?');
      p += n > 0 ? n : 1;
    } else if (!stops.Contains(c)) {
      p = platform::FindByte(p + 1, end, stops);
      continue;
    } else {
      passRun(p);
      if (c == '\r' && p + 1 == end) {
        held_[0] = c;
        heldLength_ = 1;
        return;
      }
      if (c == '\r' && p[1] == '\n') {
        next_.Put("\r\n", 2);
        p += 2;
      } else {
        // Only with crlf is an LF here: one alone.
        if (c == '\n') next_.Put("\r\n", 2);
        else next_.Put('?');
        ++p;
      }
    }
    run = p;
  }
  passRun(end);
}

// What was held back, decided by the first bytes of the next part. When the
// cut character turns out invalid, each of its bytes is "?" and the part is
// looked at from its start, as if the text had come in one piece.
const char* TerminalFilter::Complete(const char* p, const char* end) {
  if (held_[0] == '\r') {
    heldLength_ = 0;
    if (*p != '\n') {
      next_.Put('?');
      return p;
    }
    next_.Put("\r\n", 2);
    return p + 1;
  }
  unsigned char bytes[4];
  std::memcpy(bytes, held_, heldLength_);
  size_t taken = 0;
  while (heldLength_ + taken < sizeof bytes && p + taken < end) {
    bytes[heldLength_ + taken] = static_cast<unsigned char>(p[taken]);
    ++taken;
  }
  const int n = Utf8CharacterLength(bytes, bytes + heldLength_ + taken);
  if (n == 0) {
    std::memcpy(held_ + heldLength_, p, taken);
    heldLength_ += taken;
    return end;
  }
  if (n < 0) {
    for (size_t i = 0; i < heldLength_; ++i) next_.Put('?');
    heldLength_ = 0;
    return p;
  }
  if (IsC1(bytes)) next_.Put('?');
  else next_.Put(reinterpret_cast<const char*>(bytes), static_cast<size_t>(n));
  const char* after = p + (static_cast<size_t>(n) - heldLength_);
  heldLength_ = 0;
  return after;
}

void TerminalFilter::Finish() {
  for (size_t i = 0; i < heldLength_; ++i) next_.Put('?');
  heldLength_ = 0;
}
