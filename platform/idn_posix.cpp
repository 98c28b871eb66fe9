#include "platform/idn.h"

// libidn2 is loaded by the first name that needs it, not when the program
// starts: most queries are ASCII already, and binding libidn2 and
// libunistring would cost every start of the console program.
#include <dlfcn.h>
#include <idn2.h>
#include <langinfo.h>

#include <cstring>
#include <mutex>

namespace platform {

namespace {

// The C locale names plain ASCII, in which no byte above 127 means anything;
// such bytes are taken as UTF-8, which is what terminals send today.
bool LocaleTextIsUtf8() {
  const char* codeset = nl_langinfo(CODESET);
  return !codeset || std::strcmp(codeset, "UTF-8") == 0 || std::strcmp(codeset, "ANSI_X3.4-1968") == 0;
}

// The libidn2 functions this file calls, looked up once; null (with the
// reason in `error`) when the library cannot be had.
struct Idn2Api {
  decltype(&idn2_to_ascii_8z) to_ascii_8z;
  decltype(&idn2_to_ascii_lz) to_ascii_lz;
  decltype(&idn2_to_unicode_8z8z) to_unicode_8z8z;
  decltype(&idn2_strerror) strerror;
  decltype(&idn2_free) free;
};

template <typename F>
bool Find(void* library, const char* name, F& function) {
  function = reinterpret_cast<F>(dlsym(library, name));
  return function != nullptr;
}

const Idn2Api* Idn2(std::string& error) {
  static Idn2Api api{};
  static std::string loadError;
  static std::once_flag once;
  std::call_once(once, [] {
    void* library = dlopen("libidn2.so.0", RTLD_NOW | RTLD_LOCAL);
    if (!library) {
      const char* why = dlerror();
      loadError = std::string("cannot load libidn2: ") + (why ? why : "libidn2.so.0");
    } else if (!Find(library, "idn2_to_ascii_8z", api.to_ascii_8z) ||
               !Find(library, "idn2_to_ascii_lz", api.to_ascii_lz) ||
               !Find(library, "idn2_to_unicode_8z8z", api.to_unicode_8z8z) ||
               !Find(library, "idn2_strerror", api.strerror) || !Find(library, "idn2_free", api.free)) {
      loadError = "libidn2.so.0 lacks the functions this program calls";
      dlclose(library);
    }
  });
  error = loadError;
  return loadError.empty() ? &api : nullptr;
}

}  // namespace

bool NameToAscii(const char* name, TextEncoding encoding, std::string& ascii, std::string& error) {
  // Non-transitional UTS #46 processing maps upper case and full-width forms
  // as browsers do, and keeps "ß" and "ς" as the letters they are.
  const Idn2Api* idn2 = Idn2(error);
  if (!idn2) return false;
  const int flags = IDN2_NONTRANSITIONAL;
  char* converted = nullptr;
  const int rc = encoding == TextEncoding::Utf8 || LocaleTextIsUtf8() ? idn2->to_ascii_8z(name, &converted, flags)
                                                                      : idn2->to_ascii_lz(name, &converted, flags);
  if (rc != IDN2_OK) {
    error = idn2->strerror(rc);
    return false;
  }
  ascii = converted;
  idn2->free(converted);
  return true;
}

bool NameToUnicode(const char* ascii, std::string& unicode) {
  // A name of plain ASCII labels is its own Unicode form: libidn2 is needed
  // only for an "xn--" label.
  bool encoded = false;
  for (const char* p = ascii; *p && !encoded; ++p)
    encoded = (p == ascii || p[-1] == '.') && (p[0] == 'x' || p[0] == 'X') && (p[1] == 'n' || p[1] == 'N') &&
              p[2] == '-' && p[3] == '-';
  if (!encoded) {
    unicode = ascii;
    return true;
  }
  std::string error;
  const Idn2Api* idn2 = Idn2(error);
  char* converted = nullptr;
  if (!idn2 || idn2->to_unicode_8z8z(ascii, &converted, 0) != IDN2_OK || !converted) return false;
  unicode = converted;
  idn2->free(converted);
  return true;
}

}  // namespace platform
