// Internationalised domain names: a name typed with non-ASCII letters in its
// ASCII (IDNA) form, "bücher.de" as "xn--bcher-kva.de". IdnToAscii on Windows,
// libidn2 elsewhere.
#pragma once
#include <string>

namespace platform {

// How a front end hands over its text: in the system's own 8-bit encoding
// (the ANSI code page on Windows, the locale's elsewhere), or as UTF-8.
enum class TextEncoding { Native, Utf8 };

// Converts `name` to its ASCII form. On failure `error` says why, in words
// for the user, and `ascii` is left alone.
bool NameToAscii(const char* name, TextEncoding encoding, std::string& ascii, std::string& error);

// The Unicode form, in UTF-8, of a name in its ASCII form ("xn--bcher-kva.de"
// gives "bücher.de"; a name without such labels stays as it is). False, with
// `unicode` left alone, for a name that has no valid Unicode form.
bool NameToUnicode(const char* ascii, std::string& unicode);

}  // namespace platform
