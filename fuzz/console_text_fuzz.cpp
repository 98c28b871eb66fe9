// A reply chunk as merrowgate-cli writes it, one character at a time: every
// valid UTF-8 character reaches the output whole, but C0 controls (tab, LF
// and the CR of a CR LF aside), DEL and U+0080 to U+009F, each of which
// becomes "?"; so does every byte that is part of no valid character. So the
// output is valid UTF-8 that cannot drive the terminal, whatever a server
// sends and wherever its chunks end. Both line-end modes.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "cli/console_sink.h"
#include "engine/mail_links.h"
#include "fuzz/fuzz_support.h"

namespace {

// Hands every append to the console sink and keeps the pieces as they came.
class TeeSink final : public QuietSink {
 public:
  explicit TeeSink(OutputSink& next) : next_(next) {}
  std::string Pieces;
  void AppendOutput(TextKind kind, const char* text) override {
    Pieces += text;
    next_.AppendOutput(kind, text);
  }
  void AppendPiece(TextKind kind, const char* prefix, size_t prefixLength, const char* text, size_t length) override {
    Pieces.append(prefix, prefixLength);
    Pieces.append(text, length);
    next_.AppendPiece(kind, prefix, prefixLength, text, length);
  }

 private:
  OutputSink& next_;
};

// The code point of the UTF-8 character at text[i] and its length in bytes;
// length 0 when no valid character starts there.
std::uint32_t Decode(const std::string& text, size_t i, size_t& length) {
  const unsigned char lead = static_cast<unsigned char>(text[i]);
  length = 0;
  size_t n;
  std::uint32_t cp;
  if (lead < 0x80) {
    length = 1;
    return lead;
  } else if ((lead & 0xE0) == 0xC0) {
    n = 2, cp = lead & 0x1F;
  } else if ((lead & 0xF0) == 0xE0) {
    n = 3, cp = lead & 0x0F;
  } else if ((lead & 0xF8) == 0xF0) {
    n = 4, cp = lead & 0x07;
  } else {
    return 0;
  }
  if (i + n > text.size()) return 0;
  for (size_t k = 1; k < n; ++k) {
    const unsigned char c = static_cast<unsigned char>(text[i + k]);
    if ((c & 0xC0) != 0x80) return 0;
    cp = cp << 6 | (c & 0x3F);
  }
  static const std::uint32_t Least[] = {0, 0, 0x80, 0x800, 0x10000};
  if (cp < Least[n] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  length = n;
  return cp;
}

// The rule over the whole text.
std::string Expected(const std::string& text, bool crlf) {
  std::string out;
  for (size_t i = 0; i < text.size();) {
    size_t n;
    const std::uint32_t cp = Decode(text, i, n);
    if (cp == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
      out += "\r\n";
      i += 2;
      continue;
    }
    if (n == 0 || (cp < 0x20 && cp != '\t' && cp != '\n') || (cp >= 0x7F && cp <= 0x9F)) out += '?';
    else if (cp == '\n') out += crlf ? "\r\n" : "\n";
    else out.append(text, i, n);
    i += n ? n : 1;
  }
  return out;
}

// What the terminal may see: valid UTF-8, no control but tab, LF and the CR
// of a CR LF.
void CheckHarmless(const std::string& out) {
  for (size_t i = 0; i < out.size();) {
    size_t n;
    const std::uint32_t cp = Decode(out, i, n);
    FUZZ_CHECK(n > 0);
    FUZZ_CHECK(cp >= 0x20 || cp == '\t' || cp == '\n' || (cp == '\r' && i + 1 < out.size() && out[i + 1] == '\n'));
    FUZZ_CHECK(cp < 0x7F || cp > 0x9F);
    i += n;
  }
}

// The memory stream's text: its buffer and length are set when it is closed.
std::string Written(std::FILE* out, char*& buffer, size_t& length) {
  std::fclose(out);
  std::string written(buffer, length);
  std::free(buffer);
  return written;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string chunk(reinterpret_cast<const char*>(data), size);
  for (bool crlf : {false, true}) {
    // The pane's text: the chunk split into pieces by the e-mail links.
    char* buffer = nullptr;
    size_t length = 0;
    std::FILE* out = open_memstream(&buffer, &length);
    FUZZ_CHECK(out != nullptr);
    std::string pieces;
    {
      ConsoleSink console(out, false, "");
      console.SetCharset("UTF-8");
      console.SetCrLfLineEnds(crlf);
      TeeSink tee(console);
      EmitReplyChunk(tee, chunk.c_str());
      FUZZ_CHECK(console.Finish());
      pieces = tee.Pieces;
    }
    const std::string written = Written(out, buffer, length);
    FUZZ_CHECK(written == Expected(pieces, crlf));
    CheckHarmless(written);
  }
  // Quiet to a terminal: the chunk's bytes as received, cut into parts of
  // one to eight bytes, so the parts end inside characters and CR LFs.
  char* buffer = nullptr;
  size_t length = 0;
  std::FILE* out = open_memstream(&buffer, &length);
  FUZZ_CHECK(out != nullptr);
  {
    ConsoleSink console(out, false, "");
    console.SetCharset("UTF-8");
    console.SetCrLfLineEnds(false);
    console.SetQuiet(nullptr, false);
    const size_t step = size ? 1 + data[0] % 8 : 1;
    for (size_t at = 0; at < size; at += step)
      console.ReplyChunk(chunk.data() + at, static_cast<int>(size - at < step ? size - at : step));
    FUZZ_CHECK(console.Finish());
  }
  const std::string written = Written(out, buffer, length);
  FUZZ_CHECK(written == Expected(chunk, false));
  CheckHarmless(written);
  return 0;
}
