// UTF-8 and UTF-16, the two forms of text in the windows: the engine hands
// every text over as UTF-8, and the windows hold it as UTF-16.
#pragma once
#include <windows.h>

#include <cstring>
#include <string>

// UTF-8 as UTF-16. A character cut off at the end (a text cut to a fixed
// buffer) is left out; a text that is no UTF-8 otherwise is read in the ANSI
// code page instead (8-bit text from elsewhere), so nothing is lost.
std::wstring WideFromUtf8(const char* text, size_t length);
inline std::wstring WideFromUtf8(const char* text) { return WideFromUtf8(text, text ? std::strlen(text) : 0); }
// The same into `wide`, whose room is kept for the next call.
void AssignWideFromUtf8(std::wstring& wide, const char* text, size_t length);
// UTF-16 as UTF-8; a lone surrogate becomes U+FFFD.
std::string Utf8FromWide(const wchar_t* text, size_t length);
inline std::string Utf8FromWide(const std::wstring& text) { return Utf8FromWide(text.data(), text.size()); }
// True when every byte is below 0x80.
bool IsAsciiText(const char* text);
