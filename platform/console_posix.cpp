#include "platform/console.h"

#include <iconv.h>
#include <langinfo.h>
#include <strings.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <vector>

#include "platform/byte_scan.h"

namespace platform {

namespace {

std::atomic<int>* InterruptFlag = nullptr;

extern "C" void OnInterrupt(int) {
  if (InterruptFlag->exchange(1) == 1) _exit(130);
}

const char* LocaleCharset() {
  const char* codeset = nl_langinfo(CODESET);
  return codeset && *codeset ? codeset : "ANSI_X3.4-1968";
}

bool IsUtf8Name(const char* charset) { return strcasecmp(charset, "UTF-8") == 0 || strcasecmp(charset, "UTF8") == 0; }

// The C locale's plain ASCII: bytes above 127 mean nothing in it, and a
// terminal that sends them today sends UTF-8.
bool IsAsciiName(const char* charset) {
  return strcasecmp(charset, "ANSI_X3.4-1968") == 0 || strcasecmp(charset, "ASCII") == 0 ||
         strcasecmp(charset, "US-ASCII") == 0;
}

iconv_t Converter(void* c) { return static_cast<iconv_t>(c); }
const iconv_t NoConverter = reinterpret_cast<iconv_t>(-1);

// The bytes of a UTF-8 character from its first.
size_t Utf8Length(unsigned char lead) { return lead < 0xC0 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4; }

// Converts [p, end) with `cd` onto `out`; `skip` tells how many bytes one
// unconvertible character takes, which is written as "?". The shift state
// is reset at the end (ISO-2022 encodings).
void ConvertWith(iconv_t cd, const char* p, const char* end, size_t (*skip)(const char*, const char*),
                 std::string& out) {
  char buffer[1024];
  while (p < end) {
    char* in = const_cast<char*>(p);
    size_t inLeft = static_cast<size_t>(end - p);
    char* to = buffer;
    size_t toLeft = sizeof buffer;
    const size_t rc = iconv(cd, &in, &inLeft, &to, &toLeft);
    const int error = errno;
    out.append(buffer, static_cast<size_t>(to - buffer));
    p = in;
    if (rc == static_cast<size_t>(-1) && error != E2BIG) {
      out += '?';
      const size_t n = skip(p, end);
      p += n < static_cast<size_t>(end - p) ? n : static_cast<size_t>(end - p);
    }
  }
  char* to = buffer;
  size_t toLeft = sizeof buffer;
  iconv(cd, nullptr, nullptr, &to, &toLeft);
  out.append(buffer, static_cast<size_t>(to - buffer));
}

size_t SkipUtf8Character(const char* p, const char*) { return Utf8Length(static_cast<unsigned char>(*p)); }
size_t SkipByte(const char*, const char*) { return 1; }

}  // namespace

void CatchInterrupts(std::atomic<int>& cancel) {
  InterruptFlag = &cancel;
  struct sigaction action;
  std::memset(&action, 0, sizeof action);
  action.sa_handler = OnInterrupt;  // no SA_RESTART: the reply wait notices at once
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
}

bool IsTerminal(std::FILE* stream) { return isatty(fileno(stream)) != 0; }

bool EnableTerminalEscapes(std::FILE*) { return true; }

void UseBinaryOutput(std::FILE*) {}

bool WriteOutput(std::FILE* stream, const char* bytes, size_t count) {
  return std::fwrite(bytes, 1, count, stream) == count;
}

void UseUtf8Arguments(int& argc, char**& argv) {
  const char* charset = LocaleCharset();
  if (IsUtf8Name(charset) || IsAsciiName(charset)) return;
  const iconv_t cd = iconv_open("UTF-8", charset);
  if (cd == NoConverter) return;
  static std::vector<std::string> texts;
  static std::vector<char*> pointers;
  texts.resize(static_cast<size_t>(argc));
  for (int i = 0; i < argc; ++i) ConvertWith(cd, argv[i], argv[i] + std::strlen(argv[i]), SkipByte, texts[i]);
  iconv_close(cd);
  for (std::string& text : texts) pointers.push_back(&text[0]);
  pointers.push_back(nullptr);
  argv = pointers.data();
}

std::string NativeText(const std::string& utf8) {
  const char* charset = LocaleCharset();
  if (IsAsciiName(charset)) return utf8;
  std::string out;
  TextEncoder(charset).Convert(utf8.data(), utf8.size(), out);
  return out;
}

TextEncoder::TextEncoder(const char* charset) {
  if (!charset) charset = LocaleCharset();
  if (IsUtf8Name(charset)) return;
  passes_ = false;
  const iconv_t cd = iconv_open(charset, "UTF-8");
  if (cd == NoConverter) return;  // ASCII, the part every character set shares
  converter_ = cd;
  // Most text is ASCII: where the character set writes it as the same bytes
  // (nearly all do), it goes out without iconv.
  char ascii[95];
  for (int i = 0; i < 95; ++i) ascii[i] = static_cast<char>(' ' + i);
  std::string converted;
  ConvertWith(cd, ascii, ascii + sizeof ascii, SkipUtf8Character, converted);
  keepsAscii_ = converted == std::string(ascii, sizeof ascii);
}

TextEncoder::~TextEncoder() {
  if (converter_) iconv_close(Converter(converter_));
}

void TextEncoder::Convert(const char* text, size_t length, std::string& out) const {
  const char* p = text;
  const char* const end = text + length;
  if (passes_) {
    out.append(p, length);
    return;
  }
  constexpr ByteSet Ascii{{0x00, 0x7F}}, NonAscii{{0x80, 0xFF}};
  while (p < end) {
    if (keepsAscii_) {
      const char* stop = FindByte(p, end, NonAscii);
      out.append(p, static_cast<size_t>(stop - p));
      p = stop;
      if (p == end) break;
    }
    const char* stretch = keepsAscii_ ? FindByte(p, end, Ascii) : end;
    if (converter_) {
      ConvertWith(Converter(converter_), p, stretch, SkipUtf8Character, out);
    } else {
      for (; p < stretch; p += Utf8Length(static_cast<unsigned char>(*p))) out += '?';
    }
    p = stretch;
  }
}

}  // namespace platform
