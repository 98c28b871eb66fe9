#include "platform/idn.h"

#include <windows.h>

namespace platform {

namespace {

using IdnToAsciiFunction = int(WINAPI*)(DWORD flags, LPCWSTR unicode, int unicodeLength, LPWSTR ascii,
                                        int asciiLength);

// kernel32 has IdnToAscii from Vista on; Windows XP has it only in
// normaliz.dll, from the IDN download. Neither is imported, so that the
// program starts where both are missing and says so when a name needs it.
IdnToAsciiFunction FindIdnToAscii() {
  static const IdnToAsciiFunction found = [] {
    FARPROC proc = GetProcAddress(GetModuleHandleA("kernel32.dll"), "IdnToAscii");
    if (!proc) {
      char path[MAX_PATH + 16];
      const UINT n = GetSystemDirectoryA(path, MAX_PATH);
      if (n > 0 && n < MAX_PATH) {
        lstrcatA(path, "\\normaliz.dll");  // by full path: never a stray copy from the current folder
        if (HMODULE normaliz = LoadLibraryA(path)) proc = GetProcAddress(normaliz, "IdnToAscii");
      }
    }
    return reinterpret_cast<IdnToAsciiFunction>(reinterpret_cast<void*>(proc));
  }();
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

}  // namespace platform
