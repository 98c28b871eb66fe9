#include "platform/idn.h"

#include <windows.h>

namespace platform {

namespace {

using IdnToAsciiFunction = int(WINAPI*)(DWORD flags, LPCWSTR unicode, int unicodeLength, LPWSTR ascii, int asciiLength);
// IdnToUnicode has the same form, the other way round.
using IdnFunction = IdnToAsciiFunction;

// kernel32 has IdnToAscii from Vista on; Windows XP has it only in
// normaliz.dll, from the IDN download. Neither is imported, so that the
// program starts where both are missing and says so when a name needs it.
IdnFunction FindIdnFunction(const char* name) {
  FARPROC proc = GetProcAddress(GetModuleHandleA("kernel32.dll"), name);
  if (!proc) {
    char path[MAX_PATH + 16];
    const UINT n = GetSystemDirectoryA(path, MAX_PATH);
    if (n > 0 && n < MAX_PATH) {
      lstrcatA(path, "\\normaliz.dll");  // by full path: never a stray copy from the current folder
      if (HMODULE normaliz = LoadLibraryA(path)) proc = GetProcAddress(normaliz, name);
    }
  }
  return reinterpret_cast<IdnFunction>(reinterpret_cast<void*>(proc));
}

IdnToAsciiFunction FindIdnToAscii() {
  static const IdnToAsciiFunction found = FindIdnFunction("IdnToAscii");
  return found;
}

}  // namespace

bool NameToAscii(const char* name, TextEncoding encoding, std::string& ascii, std::string& error) {
  const IdnToAsciiFunction idnToAscii = FindIdnToAscii();
  if (!idnToAscii) {
    error = "this system has no IdnToAscii (neither kernel32.dll nor normaliz.dll)";
    return false;
  }
  const UINT codePage = encoding == TextEncoding::Utf8 ? CP_UTF8 : CP_ACP;
  wchar_t unicode[1024];
  if (MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, name, -1, unicode, 1024) <= 0) {
    error = encoding == TextEncoding::Utf8 ? "the text is not valid UTF-8" : "the text does not fit the code page";
    return false;
  }
  // A domain name has at most 253 characters: 255 and the terminator are room enough.
  wchar_t converted[256];
  const int n = idnToAscii(0, unicode, -1, converted, 256);
  if (n <= 0) {
    const DWORD code = GetLastError();
    error = code == ERROR_INSUFFICIENT_BUFFER ? "the name is too long"
            : code == ERROR_INVALID_NAME      ? "it is not a valid internationalised name"
                                              : "IdnToAscii failed";
    return false;
  }
  std::string result;
  for (int i = 0; i < n && converted[i]; ++i) {
    if (converted[i] > 0x7F) {
      error = "IdnToAscii gave no ASCII form";
      return false;
    }
    result += static_cast<char>(converted[i]);
  }
  ascii = result;
  return true;
}

bool NameToUnicode(const char* ascii, std::string& unicode) {
  static const IdnFunction idnToUnicode = FindIdnFunction("IdnToUnicode");
  wchar_t wide[256], converted[256];
  int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, ascii, -1, wide, 256);
  if (!idnToUnicode || n <= 0) return false;
  n = idnToUnicode(0, wide, -1, converted, 256);
  if (n <= 0) return false;
  char utf8[1024];
  const int bytes = WideCharToMultiByte(CP_UTF8, 0, converted, n, utf8, sizeof utf8, nullptr, nullptr);
  if (bytes <= 0) return false;
  unicode.assign(utf8, static_cast<size_t>(bytes - 1));  // without the terminator
  return true;
}

}  // namespace platform
