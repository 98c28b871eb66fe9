// Turns the bytes of one whois reply into UTF-8 text: in the charset the
// server is known to answer in; else as UTF-8 while the reply is valid UTF-8;
// else as Windows-1252 from the first byte that is not.
#pragma once
#include <cstddef>
#include <memory>
#include <string>

namespace platform {
class CharsetConverter;
}

// A row of the compiled list of servers with a known charset (engine/charset_table.cpp).
struct ServerCharset {
  const char* Server;   // lower case, no port
  const char* Charset;  // "utf-8", "iso-8859-1", "windows-1252", "cp1251" or "iso-2022-jp"
};
extern const ServerCharset ServerCharsets[];
extern const size_t ServerCharsetCount;

// The charset `host` is known to answer in, nullptr when it is not listed.
// Any case; a ":port" and a final dot are ignored.
const char* KnownServerCharset(const char* host);

// One per exchange. The output is always valid UTF-8: a byte that cannot be
// read in the charset becomes U+FFFD. Zero bytes pass through unchanged.
class ReplyDecoder {
 public:
  explicit ReplyDecoder(const char* server);
  ~ReplyDecoder();
  ReplyDecoder(const ReplyDecoder&) = delete;
  ReplyDecoder& operator=(const ReplyDecoder&) = delete;

  // Appends the UTF-8 form of `length` received bytes to `out`. Bytes that
  // may begin a character cut by the receive are held for the next call.
  void Decode(const char* bytes, size_t length, std::string& out);
  // End of the reply: appends what is held.
  void Finish(std::string& out);
  // "utf-8", "windows-1252" (after a reply turned out not to be UTF-8),
  // or the server's charset from the list.
  const char* Charset() const;

 private:
  enum class Mode { Utf8Guess, Utf8, Legacy, Iso2022Jp };

  void DecodeUtf8(const char* bytes, size_t length, std::string& out);
  size_t CompleteHeldUtf8(const char* bytes, size_t length, std::string& out);
  void SwitchToWindows1252();
  void DecodeLegacy(const char* bytes, size_t length, std::string& out);
  void DecodeIso2022Jp(const char* bytes, size_t length, std::string& out, bool last);
  void AppendLegacy(const char* text, size_t length, std::string& out);

  Mode mode_;
  const char* charset_;
  std::unique_ptr<platform::CharsetConverter> converter_;
  // The bytes held back: the start of a UTF-8 sequence, or of an ISO-2022-JP
  // escape or two-byte character.
  char held_[8];
  size_t heldLength_ = 0;
  // ISO-2022-JP: the escape that selected the current character set, empty
  // in the initial ASCII state.
  char shift_[3];
  size_t shiftLength_ = 0;
  bool twoByte_ = false;
  std::string piece_;  // ISO-2022-JP text on its way to the converter
};
