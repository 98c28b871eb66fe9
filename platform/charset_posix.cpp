#include <errno.h>
#include <iconv.h>

#include "platform/charset.h"

namespace platform {

namespace {

const char* IconvName(LegacyCharset charset) {
  switch (charset) {
    case LegacyCharset::Latin1: return "ISO-8859-1";
    case LegacyCharset::Windows1252: return "WINDOWS-1252";
    case LegacyCharset::Windows1251: return "CP1251";
    case LegacyCharset::Iso2022Jp: return "ISO-2022-JP";
  }
  return "ISO-8859-1";
}

const iconv_t NoConverter = reinterpret_cast<iconv_t>(-1);

// A byte of any of these charsets gives at most three bytes of UTF-8, and so
// does the U+FFFD that stands for a byte iconv cannot read.
constexpr size_t MaxUtf8PerByte = 3;

}  // namespace

CharsetConverter::CharsetConverter(LegacyCharset charset) : charset_(charset), handle_(nullptr), unavailable_(false) {
  iconv_t cd = iconv_open("UTF-8", IconvName(charset_));
  if (cd == NoConverter) unavailable_ = true;
  else handle_ = cd;
}

CharsetConverter::~CharsetConverter() {
  if (handle_) iconv_close(static_cast<iconv_t>(handle_));
}

bool CharsetConverter::AppendUtf8(const char* text, size_t length, std::string& out) {
  if (unavailable_) return false;
  iconv_t cd = static_cast<iconv_t>(handle_);
  iconv(cd, nullptr, nullptr, nullptr, nullptr);  // every call starts in the initial state
  const size_t start = out.size();
  out.resize(start + length * MaxUtf8PerByte);
  char* in = const_cast<char*>(text);
  size_t inLeft = length;
  char* to = &out[start];
  size_t toLeft = length * MaxUtf8PerByte;
  while (inLeft > 0 && iconv(cd, &in, &inLeft, &to, &toLeft) == static_cast<size_t>(-1)) {
    if (errno == E2BIG || toLeft < 3) break;  // cannot happen within the bound above
    // EILSEQ, or EINVAL for a character cut at the end: the byte stands alone.
    *to++ = '\xEF';
    *to++ = '\xBF';
    *to++ = '\xBD';
    toLeft -= 3;
    ++in;
    --inLeft;
  }
  out.resize(static_cast<size_t>(to - out.data()));
  return true;
}

}  // namespace platform
