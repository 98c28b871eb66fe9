// One chunk through the e-mail link split: the pieces, with "mailto:" taken
// off the links, must give back the chunk's text, and every link must hold
// the "@" that made it.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "engine/mail_links.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static PieceSink sink;
  sink.Pieces.clear();

  const std::string chunk(reinterpret_cast<const char*>(data), size);
  EmitReplyChunk(sink, chunk.c_str());

  static const char Prefix[] = "mailto:";
  const size_t prefixLength = sizeof Prefix - 1;
  std::string rebuilt;
  for (const PieceSink::Piece& piece : sink.Pieces) {
    FUZZ_CHECK(!piece.Text.empty());
    if (piece.Kind == MailLink) {
      FUZZ_CHECK(piece.Text.compare(0, prefixLength, Prefix) == 0);
      const std::string word = piece.Text.substr(prefixLength);
      FUZZ_CHECK(word.find('@') != std::string::npos);
      rebuilt += word;
    } else {
      FUZZ_CHECK(piece.Kind == Plain);
      FUZZ_CHECK(piece.Text.find('@') == std::string::npos);
      rebuilt += piece.Text;
    }
  }
  FUZZ_CHECK(rebuilt == std::string(chunk.c_str()));  // the text ends at its first zero byte
  return 0;
}
