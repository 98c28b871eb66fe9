#include "cli/console_sink.h"

#include <cerrno>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "platform/text.h"
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

// Pieces of a reply are flushed together at the end of each received chunk;
// this much text without a flush is written out anyway.
constexpr size_t OutputBufferSize = 64 * 1024;

bool IsC1(unsigned char c) { return c >= 0x80 && c <= 0x9F; }

// The high bit of each byte of `x` that FindConsoleByte stops at.
std::uint64_t ConsoleBytesOfWord(std::uint64_t x, bool crlf) {
  constexpr std::uint64_t Ones = 0x0101010101010101ull, High = 0x8080808080808080ull, Low = ~High;
  // Exact per byte, no carry crossing a byte: the high bit is set where y is 0.
  auto zeroBytes = [](std::uint64_t y) { return ~(((y & Low) + Low) | y) & High; };
  const std::uint64_t low = x & Low;
  std::uint64_t m = ~(low + 0x60 * Ones) & High;  // the low seven bits below 0x20: C0 and C1
  m &= ~zeroBytes(x ^ ('\t' * Ones));
  if (!crlf) m &= ~zeroBytes(x ^ ('\n' * Ones));
  m |= (low + Ones) & ~x & High;  // DEL
  m |= zeroBytes(x ^ (0xC2 * Ones));
  return m;
}

// The 8-byte way: one flag bit in each byte of the mask (its high bit).
struct Words {
  static constexpr std::ptrdiff_t Size = 8, BitsPerByte = 8;
  bool crlf;
  std::uint64_t operator()(const char* p) const { return ConsoleBytesOfWord(LoadBytesLowFirst(p), crlf); }
};

#if defined(__SSE2__)
// The 16-byte way: one flag bit per byte.
struct Vectors {
  static constexpr std::ptrdiff_t Size = 16, BitsPerByte = 1;
  bool crlf;
  std::uint64_t operator()(const char* p) const {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    // Most blocks are printable ASCII (0x20 to 0x7E as signed bytes): done.
    const __m128i printable =
        _mm_and_si128(_mm_cmpgt_epi8(v, _mm_set1_epi8(0x1F)), _mm_cmplt_epi8(v, _mm_set1_epi8(0x7F)));
    if (_mm_movemask_epi8(printable) == 0xFFFF) return std::uint64_t{0};
    const __m128i low = _mm_and_si128(v, _mm_set1_epi8(0x7F));
    __m128i m = _mm_cmplt_epi8(low, _mm_set1_epi8(0x20));  // C0 and C1
    m = _mm_andnot_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('\t')), m);
    if (!crlf) m = _mm_andnot_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('\n')), m);
    m = _mm_or_si128(m, _mm_cmpeq_epi8(v, _mm_set1_epi8(0x7F)));
    m = _mm_or_si128(m, _mm_cmpeq_epi8(v, _mm_set1_epi8(static_cast<char>(0xC2))));
    return static_cast<unsigned>(_mm_movemask_epi8(m));
  }
};

// Skips 64 bytes at a time while they are printable ASCII or (unless `crlf`)
// LF, the common text of a reply that is written as it is.
const char* SkipOrdinary(const char* p, const char* end, bool crlf) {
  // Printable ASCII, 0x20 to 0x7E, moved to 0x80 to 0xDE: below 0xDF as signed bytes.
  const __m128i shift = _mm_set1_epi8(0x60), limit = _mm_set1_epi8(static_cast<char>(0xDF));
  const __m128i lf = _mm_set1_epi8(crlf ? ' ' : '\n');  // a space adds nothing
  auto ordinary = [&](const char* at) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
    return _mm_or_si128(_mm_cmplt_epi8(_mm_add_epi8(v, shift), limit), _mm_cmpeq_epi8(v, lf));
  };
  while (end - p >= 64) {
    const __m128i all = _mm_and_si128(_mm_and_si128(ordinary(p), ordinary(p + 16)),
                                      _mm_and_si128(ordinary(p + 32), ordinary(p + 48)));
    if (_mm_movemask_epi8(all) != 0xFFFF) break;
    p += 64;
  }
  return p;
}
#endif

// Whole blocks, then one last block that overlaps the one before it (its
// bytes already looked at are shifted out). Texts shorter than a block go
// to the next smaller way.
template <class Block, class Shorter>
const char* FindWith(const char* begin, const char* end, Block block, Shorter shorter) {
  constexpr std::ptrdiff_t Size = Block::Size;
  if (end - begin < Size) return shorter(begin, end);
  const char* p = begin;
  for (; end - p >= Size; p += Size)
    if (const std::uint64_t m = block(p)) return p + __builtin_ctzll(m) / Block::BitsPerByte;
  if (p == end) return end;
  const char* last = end - Size;
  const std::uint64_t m = block(last) >> ((p - last) * Block::BitsPerByte);
  return m ? p + __builtin_ctzll(m) / Block::BitsPerByte : end;
}

// Fewer than 8 bytes.
const char* FindByteByByte(const char* p, const char* end, bool crlf) {
  for (; p < end; ++p) {
    const unsigned char c = static_cast<unsigned char>(*p);
    if (((c & 0x7F) < 0x20 && c != '\t' && (crlf || c != '\n')) || c == 0x7F || c == 0xC2) return p;
  }
  return end;
}

}  // namespace

const char* FindConsoleByteWordwise(const char* begin, const char* end, bool crlf) {
  return FindWith(begin, end, Words{crlf}, [crlf](const char* p, const char* e) { return FindByteByByte(p, e, crlf); });
}

const char* FindConsoleByte(const char* begin, const char* end, bool crlf) {
#if defined(__SSE2__)
  return FindWith(SkipOrdinary(begin, end, crlf), end, Vectors{crlf},
                  [crlf](const char* p, const char* e) { return FindConsoleByteWordwise(p, e, crlf); });
#else
  return FindConsoleByteWordwise(begin, end, crlf);
#endif
}

ConsoleSink::ConsoleSink(std::FILE* out, bool colour, std::string query, std::string recentPath)
    : out_(out, OutputBufferSize, true), staged_(OutputBufferSize), colour_(colour), query_(std::move(query)), recentPath_(std::move(recentPath)) {}

void ConsoleSink::SetQuiet(std::FILE* errors, bool rawReplies) {
  quiet_ = true;
  errors_.file = errors;
  rawReplies_ = rawReplies;
}

// The replies come from strangers: control characters in them would drive the
// terminal (retitle it, move the cursor, hide or rewrite what was shown). All
// but tab and line ends are written as "?": the C0 and C1 bytes, DEL, the
// UTF-8 forms of U+0080 to U+009F, and a CR that does not begin a CR LF.
void ConsoleSink::Clean(Stream& stream, const char* p, const char* end) {
  const bool crlf = crlf_ && stream.lineEnds;
  // A CR or 0xC2 with its next byte; true when that byte is used up as well.
  auto pair = [&](unsigned char c, unsigned char next) {
    if (c == '\r' && next == '\n') {
      Put(stream, "\r\n", 2);
      return true;
    }
    if (c == 0xC2 && IsC1(next)) {
      Put(stream, '?');
      return true;
    }
    Put(stream, c == '\r' ? '?' : static_cast<char>(c));
    return false;
  };
  if (stream.held && p < end) {
    if (pair(static_cast<unsigned char>(stream.held), static_cast<unsigned char>(*p))) ++p;
    stream.held = 0;
  }
  while (p < end) {
    const char* stop = FindConsoleByte(p, end, crlf);
    Put(stream, p, static_cast<size_t>(stop - p));
    if (stop == end) return;
    const unsigned char c = static_cast<unsigned char>(*stop);
    p = stop + 1;
    if (c == '\r' || c == 0xC2) {
      if (p == end) {
        stream.held = static_cast<char>(c);  // the next piece decides
        return;
      }
      if (pair(c, static_cast<unsigned char>(*p))) ++p;
    } else if (c == '\n') {
      Put(stream, "\r\n", 2);  // only with crlf: a lone LF
    } else {
      Put(stream, '?');
    }
  }
}

void ConsoleSink::Put(Stream& stream, const char* bytes, size_t count) {
  if (count > stream.buffer.size() - stream.used) {
    Write(stream, stream.buffer.data(), stream.used);
    stream.used = 0;
    if (count > stream.buffer.size()) {
      Write(stream, bytes, count);
      return;
    }
  }
  std::memcpy(stream.buffer.data() + stream.used, bytes, count);
  stream.used += count;
}

void ConsoleSink::Write(Stream& stream, const char* bytes, size_t count) {
  const bool isOut = &stream == &out_;
  if (count == 0 || (isOut && failed_)) return;
  if (std::fwrite(bytes, 1, count, stream.file) != count && isOut) {
    // Nobody would see the rest of the lookup: stop it.
    errno_ = errno;
    failed_ = true;
    if (cancel_) *cancel_ = 1;
  }
}

void ConsoleSink::Flush(Stream& stream) {
  Write(stream, stream.buffer.data(), stream.used);
  stream.used = 0;
  if (std::fflush(stream.file) != 0 && &stream == &out_ && !failed_) {
    errno_ = errno;
    failed_ = true;
    if (cancel_) *cancel_ = 1;
  }
}

void ConsoleSink::AppendOutput(TextKind kind, const char* text) { Append(kind, "", 0, text, std::strlen(text)); }

// The pieces of a long reply come here by the hundred thousand, most of them
// a few dozen bytes: without colour they go straight into the staging buffer.
void ConsoleSink::AppendPiece(TextKind kind, const char* prefix, size_t prefixLength, const char* text,
                              size_t length) {
  const size_t room = staged_.size() - stagedUsed_;
  if (quiet_ || failed_ || colour_ || (kind != Plain && kind != MailLink) || length > room ||
      prefixLength > room - length)
    return Append(kind, prefix, prefixLength, text, length);
  char* const to = staged_.data() + stagedUsed_;
  if (prefixLength) std::memcpy(to, prefix, prefixLength);
  std::memcpy(to + prefixLength, text, length);
  stagedUsed_ += prefixLength + length;
}

// `prefix` and `text` as one text.
void ConsoleSink::Append(TextKind kind, const char* prefix, size_t prefixLength, const char* text, size_t length) {
  const size_t n = prefixLength + length;
  if (quiet_) {
    if (kind != Error || !errors_.file || n == 0) return;
    Clean(errors_, prefix, prefix + prefixLength);
    Clean(errors_, text, text + length);
    errorLineOpen_ = (length ? text[length - 1] : prefix[prefixLength - 1]) != '\n';
    Flush(errors_);
    return;
  }
  if (failed_) return;
  if (!colour_ && (kind == Plain || kind == MailLink)) {
    if (prefixLength) Stage(prefix, prefixLength);
    Stage(text, length);
    return;
  }
  CleanStaged();
  const char* escape = colour_ ? Escape(kind) : nullptr;
  if (escape) Put(out_, escape, std::strlen(escape));
  Clean(out_, prefix, prefix + prefixLength);
  Clean(out_, text, text + length);
  if (escape) Put(out_, "\x1b[0m", 4);
  // Progress, banners and errors are shown at once; the pieces of a reply
  // wait for the end of their chunk.
  if (kind != Plain && kind != MailLink) Flush(out_);
}

// Clean goes on where it stopped, so a text may come in parts: a CR or 0xC2
// at the end of one is decided by the first byte of the next.
void ConsoleSink::Stage(const char* bytes, size_t count) {
  if (count > staged_.size() - stagedUsed_) CleanStaged();
  if (count > staged_.size()) {
    Clean(out_, bytes, bytes + count);
  } else {
    std::memcpy(staged_.data() + stagedUsed_, bytes, count);
    stagedUsed_ += count;
  }
}

void ConsoleSink::CleanStaged() {
  Clean(out_, staged_.data(), staged_.data() + stagedUsed_);
  stagedUsed_ = 0;
}

void ConsoleSink::SetStatus(int, const char*) {
  CleanStaged();
  Flush(out_);
}

void ConsoleSink::ReplyChunk(const char* bytes, int count) {
  if (quiet_ && !failed_ && count > 0) {
    if (rawReplies_)
      Put(out_, bytes, static_cast<size_t>(count));
    else
      Clean(out_, bytes, bytes + count);
  }
  CleanStaged();
  Flush(out_);
}

bool ConsoleSink::Finish() {
  CleanStaged();
  for (Stream* s : {&out_, &errors_}) {
    if (!s->file) continue;
    if (s->held) Put(*s, s->held == '\r' ? '?' : s->held);
    s->held = 0;
    if (s == &errors_ && errorLineOpen_) {
      Put(*s, '\n');
      errorLineOpen_ = false;
    }
    Flush(*s);
  }
  return !failed_;
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
