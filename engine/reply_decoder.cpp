#include "engine/reply_decoder.h"

#include <cstdint>
#include <cstring>

#include "platform/byte_scan.h"
#include "platform/charset.h"
#include "platform/text.h"

namespace {

const char Utf8Name[] = "utf-8";
const char Windows1252Name[] = "windows-1252";
const char Replacement[] = "\xEF\xBF\xBD";  // U+FFFD

// Legacy text reaches the converter in pieces of at most this many bytes.
constexpr size_t LegacyPieceLength = 32 * 1024;

struct CharsetName {
  const char* Name;
  platform::LegacyCharset Charset;
};
const CharsetName LegacyCharsets[] = {
    {"iso-8859-1", platform::LegacyCharset::Latin1},
    {"windows-1252", platform::LegacyCharset::Windows1252},
    {"cp1251", platform::LegacyCharset::Windows1251},
    {"iso-2022-jp", platform::LegacyCharset::Iso2022Jp},
};

// How many bytes from the start are whole, valid UTF-8. ASCII, most of any
// reply, goes 64 bytes at a time; a run of other letters (Cyrillic, Japanese)
// goes character by character without going back to the byte scan.
size_t ValidUtf8Length(const char* text, size_t n) {
  constexpr platform::ByteSet NonAscii{{0x80, 0xFF}};
  const char* p = text;
  const char* const end = text + n;
  while ((p = platform::FindByte(p, end, NonAscii)) < end) {
    do {
      size_t length;
      if (ReadUtf8(reinterpret_cast<const unsigned char*>(p), static_cast<size_t>(end - p), length) != Utf8Step::Valid)
        return static_cast<size_t>(p - text);
      p += length;
    } while (p < end && static_cast<unsigned char>(*p) >= 0x80);
  }
  return n;
}

const CharsetName* FindLegacyCharset(const char* name) {
  for (const CharsetName& c : LegacyCharsets)
    if (std::strcmp(c.Name, name) == 0) return &c;
  return nullptr;
}

constexpr char Esc = '\x1B';
constexpr size_t EscapeLength = 3;

// One of the four escapes of RFC 1468, at p with three bytes: which kind of set it selects.
bool SelectsSet(const char* p, bool& twoByte) {
  if (p[0] != Esc) return false;
  twoByte = p[1] == '$';
  return (p[1] == '(' && (p[2] == 'B' || p[2] == 'J')) || (p[1] == '$' && (p[2] == '@' || p[2] == 'B'));
}

// The text when the converter is missing (Wine has no ISO-2022-JP): the
// ASCII as it stands, each other character as "?", the escapes dropped.
void AppendIso2022JpReadably(const std::string& piece, std::string& out) {
  bool twoByte = false;
  for (size_t i = 0; i < piece.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(piece[i]);
    bool selectsTwoByte;
    if (piece.size() - i >= EscapeLength && SelectsSet(piece.data() + i, selectsTwoByte)) {
      twoByte = selectsTwoByte;
      i += EscapeLength - 1;
    } else if (twoByte && c >= 0x21 && c <= 0x7E) {
      out += '?';
      ++i;
    } else {
      out += c < 0x80 && c != 0x1B ? static_cast<char>(c) : '?';
    }
  }
}

}  // namespace

const char* KnownServerCharset(const char* host) {
  // Server names are short; a longer text is no listed server.
  if (!host) return nullptr;
  char name[256];
  size_t n = 0;
  for (; host[n] && host[n] != ':'; ++n) {
    if (n + 1 >= sizeof name) return nullptr;
    name[n] = Lower(host[n]);
  }
  if (n > 0 && name[n - 1] == '.') --n;
  name[n] = '\0';
  size_t low = 0, high = ServerCharsetCount;
  while (low < high) {
    const size_t mid = low + (high - low) / 2;
    const int order = std::strcmp(ServerCharsets[mid].Server, name);
    if (order == 0) return ServerCharsets[mid].Charset;
    if (order < 0) low = mid + 1;
    else high = mid;
  }
  return nullptr;
}

ReplyDecoder::ReplyDecoder(const char* server) : mode_(Mode::Utf8Guess), charset_(Utf8Name) {
  const char* known = KnownServerCharset(server);
  if (!known) return;
  if (const CharsetName* legacy = FindLegacyCharset(known)) {
    mode_ = legacy->Charset == platform::LegacyCharset::Iso2022Jp ? Mode::Iso2022Jp : Mode::Legacy;
    charset_ = legacy->Name;
    converter_.reset(new platform::CharsetConverter(legacy->Charset));
  } else {
    mode_ = Mode::Utf8;  // the list holds nothing else
  }
}

ReplyDecoder::~ReplyDecoder() = default;

const char* ReplyDecoder::Charset() const { return charset_; }

void ReplyDecoder::Decode(const char* bytes, size_t length, std::string& out) {
  if (length == 0) return;
  if (mode_ == Mode::Utf8Guess || mode_ == Mode::Utf8) DecodeUtf8(bytes, length, out);
  else DecodeLegacy(bytes, length, out);
}

void ReplyDecoder::Finish(std::string& out) {
  if (heldLength_ == 0) return;
  if (mode_ == Mode::Iso2022Jp) {
    DecodeIso2022Jp("", 0, out, true);
    return;
  }
  if (mode_ == Mode::Utf8Guess) {
    // A reply that ends inside a character is not UTF-8 either.
    SwitchToWindows1252();
    AppendLegacy(held_, heldLength_, out);
  } else {
    out += Replacement;
  }
  heldLength_ = 0;
}

void ReplyDecoder::SwitchToWindows1252() {
  mode_ = Mode::Legacy;
  charset_ = Windows1252Name;
  converter_.reset(new platform::CharsetConverter(platform::LegacyCharset::Windows1252));
}

void ReplyDecoder::DecodeUtf8(const char* bytes, size_t length, std::string& out) {
  if (heldLength_ > 0) {
    const size_t used = CompleteHeldUtf8(bytes, length, out);
    bytes += used;
    length -= used;
    if (mode_ == Mode::Legacy) return DecodeLegacy(bytes, length, out);
    if (heldLength_ > 0) return;
  }
  while (length > 0) {
    const size_t valid = ValidUtf8Length(bytes, length);
    out.append(bytes, valid);
    bytes += valid;
    length -= valid;
    if (length == 0) return;
    size_t sequence;
    if (ReadUtf8(reinterpret_cast<const unsigned char*>(bytes), length, sequence) == Utf8Step::Cut) {
      std::memcpy(held_, bytes, length);  // fewer than 4 bytes
      heldLength_ = length;
      return;
    }
    if (mode_ == Mode::Utf8Guess) {
      // What came before stays as it was shown; the rest is Windows-1252.
      SwitchToWindows1252();
      return DecodeLegacy(bytes, length, out);
    }
    out += Replacement;
    bytes += sequence;
    length -= sequence;
  }
}

// The held start of a sequence with the first bytes of the next chunk:
// returns how many of those it took.
size_t ReplyDecoder::CompleteHeldUtf8(const char* bytes, size_t length, std::string& out) {
  unsigned char sequence[4];
  const size_t held = heldLength_;
  const size_t taken = length < sizeof sequence - held ? length : sizeof sequence - held;
  std::memcpy(sequence, held_, held);
  std::memcpy(sequence + held, bytes, taken);
  size_t n;
  switch (ReadUtf8(sequence, held + taken, n)) {
    case Utf8Step::Valid:
      out.append(reinterpret_cast<const char*>(sequence), n);
      heldLength_ = 0;
      return n - held;
    case Utf8Step::Cut:  // still: the chunk was shorter than the rest of it
      std::memcpy(held_ + held, bytes, taken);
      heldLength_ += taken;
      return taken;
    case Utf8Step::Invalid: break;
  }
  heldLength_ = 0;
  if (mode_ == Mode::Utf8Guess) {
    SwitchToWindows1252();
    AppendLegacy(held_, held, out);
    return 0;
  }
  // The held bytes were a valid start, so the fault is in the new ones.
  out += Replacement;
  return n - held;
}

void ReplyDecoder::DecodeLegacy(const char* bytes, size_t length, std::string& out) {
  if (mode_ == Mode::Iso2022Jp) return DecodeIso2022Jp(bytes, length, out, false);
  while (length > 0) {
    const size_t n = length < LegacyPieceLength ? length : LegacyPieceLength;
    AppendLegacy(bytes, n, out);
    bytes += n;
    length -= n;
  }
}

void ReplyDecoder::AppendLegacy(const char* text, size_t length, std::string& out) {
  if (converter_->AppendUtf8(text, length, out)) return;
  for (size_t i = 0; i < length; ++i) {
    if (static_cast<unsigned char>(text[i]) < 0x80) out += text[i];
    else out += Replacement;
  }
}

// ISO-2022-JP (RFC 1468) is 7-bit text in which escapes switch between
// one-byte sets (ESC ( B for ASCII, ESC ( J for JIS-Roman) and the two-byte
// set (ESC $ @, ESC $ B for JIS X 0208). The converter sees only whole
// pieces: each begins with the escape of the set in force where it starts,
// and ends before an escape or a two-byte character that the receive cut,
// which is held for the next chunk. So the state survives any cut, on every
// system. Other escapes are left to the converter and change nothing here.
void ReplyDecoder::DecodeIso2022Jp(const char* bytes, size_t length, std::string& out, bool last) {
  std::string input(held_, heldLength_);
  input.append(bytes, length);
  heldLength_ = 0;
  auto convert = [&] {
    if (piece_.size() <= shiftLength_) return;  // only the escape it began with
    if (!converter_->AppendUtf8(piece_.data(), piece_.size(), out)) AppendIso2022JpReadably(piece_, out);
  };
  size_t i = 0;
  const size_t end = input.size();
  piece_.assign(shift_, shiftLength_);
  while (i < end) {
    if (piece_.size() >= LegacyPieceLength) {
      convert();
      piece_.assign(shift_, shiftLength_);
    }
    const char c = input[i];
    size_t n = 1;
    if (c == Esc) {
      if (end - i < EscapeLength && !last) break;  // perhaps an escape, cut
      bool twoByte;
      if (end - i >= EscapeLength && SelectsSet(input.data() + i, twoByte)) {
        twoByte_ = twoByte;
        const bool ascii = input[i + 1] == '(' && input[i + 2] == 'B';
        shiftLength_ = ascii ? 0 : EscapeLength;
        std::memcpy(shift_, input.data() + i, shiftLength_);
        n = EscapeLength;
      }
    } else if (twoByte_ && c >= 0x21 && c <= 0x7E) {
      if (i + 1 == end && !last) break;  // the first half of a character
      n = i + 1 < end ? 2 : 1;
    }
    piece_.append(input, i, n);
    i += n;
  }
  convert();
  heldLength_ = end - i;  // at most two bytes
  std::memcpy(held_, input.data() + i, heldLength_);
}
