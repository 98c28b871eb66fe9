#include "platform/idn.h"

#include <idn2.h>
#include <langinfo.h>

#include <cstring>

namespace platform {

namespace {

// The C locale names plain ASCII, in which no byte above 127 means anything;
// such bytes are taken as UTF-8, which is what terminals send today.
bool LocaleTextIsUtf8() {
  const char* codeset = nl_langinfo(CODESET);
  return !codeset || std::strcmp(codeset, "UTF-8") == 0 || std::strcmp(codeset, "ANSI_X3.4-1968") == 0;
}

}  // namespace

bool NameToAscii(const char* name, TextEncoding encoding, std::string& ascii, std::string& error) {
  // Non-transitional UTS #46 processing maps upper case and full-width forms
  // as browsers do, and keeps "ß" and "ς" as the letters they are.
  const int flags = IDN2_NONTRANSITIONAL;
  char* converted = nullptr;
  const int rc = encoding == TextEncoding::Utf8 || LocaleTextIsUtf8() ? idn2_to_ascii_8z(name, &converted, flags)
                                                                      : idn2_to_ascii_lz(name, &converted, flags);
  if (rc != IDN2_OK) {
    error = idn2_strerror(rc);
    return false;
  }
  ascii = converted;
  idn2_free(converted);
  return true;
}

bool NameToUnicode(const char* ascii, std::string& unicode) {
  char* converted = nullptr;
  if (idn2_to_unicode_8z8z(ascii, &converted, 0) != IDN2_OK || !converted) return false;
  unicode = converted;
  idn2_free(converted);
  return true;
}

}  // namespace platform
