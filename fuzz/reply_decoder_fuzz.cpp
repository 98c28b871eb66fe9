// One reply through the decoder: the first byte picks the server (and so the
// charset), the next three the lengths of the chunks, in turn. Each chunk
// sits in a buffer exactly its length, so a read past it shows. The text is
// always valid UTF-8, and but for ISO-2022-JP (whose faulty escapes each
// converter reads its own way) the same however the reply was cut.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "engine/reply_decoder.h"
#include "fuzz/fuzz_support.h"

namespace {

const char* const Servers[] = {"whois.example", "whois.nic.hu", "whois.denic.de", "whois.kg", "whois.nic.ad.jp"};
constexpr size_t GuessIndex = 0, Utf8Index = 2, JpIndex = 4;
constexpr size_t HeaderLength = 4;

// RFC 3629, written out plainly as the oracle for the decoder's fast scan:
// how many bytes from the start are whole, valid characters.
size_t ValidPrefix(const std::string& text) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(text.data());
  const size_t n = text.size();
  for (size_t i = 0; i < n;) {
    const unsigned c = p[i];
    size_t length;
    unsigned code;
    if (c < 0x80) {
      length = 1;
      code = c;
    } else if (c >= 0xC0 && c < 0xE0) {
      length = 2;
      code = c & 0x1F;
    } else if (c >= 0xE0 && c < 0xF0) {
      length = 3;
      code = c & 0x0F;
    } else if (c >= 0xF0 && c < 0xF8) {
      length = 4;
      code = c & 0x07;
    } else {
      return i;
    }
    if (i + length > n) return i;
    for (size_t k = 1; k < length; ++k) {
      if ((p[i + k] & 0xC0) != 0x80) return i;
      code = code << 6 | (p[i + k] & 0x3F);
    }
    const unsigned least[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < least[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return i;
    i += length;
  }
  return n;
}

bool IsUtf8(const std::string& text) { return ValidPrefix(text) == text.size(); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < HeaderLength) return 0;
  const size_t server = data[0] % (sizeof Servers / sizeof Servers[0]);
  const size_t lengths[] = {data[1] % 32u, data[2] % 32u, data[3] % 32u + 1};
  const char* reply = reinterpret_cast<const char*>(data + HeaderLength);
  const size_t replyLength = size - HeaderLength;

  ReplyDecoder chunked(Servers[server]);
  std::string out;
  for (size_t at = 0, k = 0; at < replyLength; ++k) {
    size_t n = lengths[k % 3];
    if (n > replyLength - at) n = replyLength - at;
    std::unique_ptr<char[]> chunk(new char[n ? n : 1]);
    std::memcpy(chunk.get(), reply + at, n);
    chunked.Decode(chunk.get(), n, out);
    at += n;
  }
  chunked.Finish(out);
  FUZZ_CHECK(IsUtf8(out));

  ReplyDecoder whole(Servers[server]);
  std::string once;
  whole.Decode(reply, replyLength, once);
  whole.Finish(once);
  FUZZ_CHECK(IsUtf8(once));
  if (server != JpIndex) {
    FUZZ_CHECK(out == once);
    FUZZ_CHECK(std::strcmp(chunked.Charset(), whole.Charset()) == 0);
  }
  // UTF-8 (guessed or known) keeps the valid start as it is; a guess that
  // holds to the end stays UTF-8, and one that fails turns to Windows-1252.
  if (server == GuessIndex || server == Utf8Index) {
    const std::string input(reply, replyLength);
    const size_t valid = ValidPrefix(input);
    FUZZ_CHECK(once.compare(0, valid, input, 0, valid) == 0);
    if (valid == replyLength) FUZZ_CHECK(once == input);
    if (server == GuessIndex)
      FUZZ_CHECK(std::strcmp(whole.Charset(), valid == replyLength ? "utf-8" : "windows-1252") == 0);
  }
  return 0;
}
