// A reply chunk as merrowgate-cli writes it: every piece reaches the output
// with its control characters (but tab, CR and LF) turned into "?", so
// nothing a server sends can drive the terminal, and nothing else changes.
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

 private:
  OutputSink& next_;
};

bool Shown(unsigned char c) { return (c >= 0x20 && c != 0x7F) || c == '\t' || c == '\r' || c == '\n'; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  char* buffer = nullptr;
  size_t length = 0;
  std::FILE* out = open_memstream(&buffer, &length);
  FUZZ_CHECK(out != nullptr);
  ConsoleSink console(out, false, "");
  TeeSink tee(console);
  SetOutputSink(&tee);
  const std::string chunk(reinterpret_cast<const char*>(data), size);
  EmitReplyChunk(chunk.c_str());
  SetOutputSink(nullptr);
  std::fclose(out);
  const std::string written(buffer, length);
  std::free(buffer);

  std::string expected;
  for (char c : tee.Pieces) expected += Shown(static_cast<unsigned char>(c)) ? c : '?';
  FUZZ_CHECK(written == expected);
  return 0;
}
