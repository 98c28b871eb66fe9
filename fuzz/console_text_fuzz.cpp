// A reply chunk as merrowgate-cli writes it: every piece reaches the output
// with its control characters (but tab, LF and the CR of a CR LF) turned into
// "?", the UTF-8 form of a C1 control into one "?", so nothing a server sends
// can drive the terminal, and nothing else changes. Both line-end modes.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "cli/console_sink.h"
#include "engine/whois_exchange.h"
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

// The rule, byte by byte over the whole text.
std::string Expected(const std::string& text, bool crlf) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    const unsigned char next = i + 1 < text.size() ? static_cast<unsigned char>(text[i + 1]) : 0;
    if (c == '\r' && next == '\n') {
      out += "\r\n";
      ++i;
    } else if (c == '\n') {
      out += crlf ? "\r\n" : "\n";
    } else if (c == 0xC2 && next >= 0x80 && next <= 0x9F) {
      out += '?';
      ++i;
    } else if (c == '\t' || c == 0xC2 || (c >= 0x20 && c != 0x7F && !(c >= 0x80 && c <= 0x9F))) {
      out += static_cast<char>(c);
    } else {
      out += '?';
    }
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string chunk(reinterpret_cast<const char*>(data), size);
  for (bool crlf : {false, true}) {
    char* buffer = nullptr;
    size_t length = 0;
    std::FILE* out = open_memstream(&buffer, &length);
    FUZZ_CHECK(out != nullptr);
    std::string pieces;
    {
      ConsoleSink console(out, false, "");
      console.SetCrLfLineEnds(crlf);
      TeeSink tee(console);
      SetOutputSink(&tee);
      EmitReplyChunk(chunk.c_str());
      SetOutputSink(nullptr);
      FUZZ_CHECK(console.Finish());
      pieces = tee.Pieces;
    }
    std::fclose(out);
    const std::string written(buffer, length);
    std::free(buffer);
    FUZZ_CHECK(written == Expected(pieces, crlf));
  }
  return 0;
}
