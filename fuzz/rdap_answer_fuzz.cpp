// One RDAP answer body through the readable rendering: whatever the server
// sends, the lines hold no control character but tabs and line ends, every
// link is a "mailto:" piece, and a related link is https.
#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/rdap_render.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static PieceSink sink;
  sink.Pieces.clear();
  const std::string body(reinterpret_cast<const char*>(data), size);
  const std::string related = ShowRdapAnswer(sink, size % 2 ? 200 : 404, "rdap.fuzz", body);
  FUZZ_CHECK(related.empty() || related.compare(0, 8, "https://") == 0);
  for (const PieceSink::Piece& piece : sink.Pieces) {
    for (const char c : piece.Text) FUZZ_CHECK(static_cast<unsigned char>(c) >= 0x20 || c == '\t' || c == '\n');
    if (piece.Kind == MailLink) FUZZ_CHECK(piece.Text.compare(0, 7, "mailto:") == 0);
  }
  return 0;
}
