// The INI reader and writer: a parsed file written out and parsed again gives
// the same text; a key that was set is found again with its value, also after
// the round trip; integer reading never fails on any value.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_support.h"
#include "platform/profile_text.h"

using platform::ParseProfileInt;
using platform::ProfileDocument;

namespace {

// The reader's blanks, Ctrl-Z included.
bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v' || c == '\x1a';
}

std::string Trim(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && IsBlank(s[b])) ++b;
  while (e > b && IsBlank(s[e - 1])) --e;
  return s.substr(b, e - b);
}

// Names and values the program itself writes: one line each, no zero byte, a
// key without "=" that cannot be read as a header.
std::string Field(const std::string& s, const char* forbidden) {
  std::string out;
  for (char c : s)
    if (c != '\0' && c != '\r' && c != '\n' && std::string(forbidden).find(c) == std::string::npos) out += c;
  return Trim(out);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  // The file text, then three fields for a write, separated by byte 1.
  std::string file = input, section, key, value;
  const size_t a = input.find('\x01');
  if (a != std::string::npos) {
    file = input.substr(0, a);
    const size_t b = input.find('\x01', a + 1);
    const size_t c = b == std::string::npos ? std::string::npos : input.find('\x01', b + 1);
    section = input.substr(a + 1, b == std::string::npos ? std::string::npos : b - a - 1);
    if (b != std::string::npos) key = input.substr(b + 1, c == std::string::npos ? std::string::npos : c - b - 1);
    if (c != std::string::npos) value = input.substr(c + 1);
  }

  ProfileDocument doc = ProfileDocument::Parse(file);
  const std::string once = doc.Serialize();
  // A first key whose name begins with the UTF-8 mark (after blanks that the
  // reader trims) is written at the very start, where the next read takes
  // it for the mark. No file the program or an editor writes looks so.
  static const char Mark[] = "\xEF\xBB\xBF";
  if (once.compare(0, 3, Mark) == 0 && file.compare(0, 3, Mark) != 0) return 0;
  const std::string twice = ProfileDocument::Parse(once).Serialize();
  FUZZ_CHECK(once == twice);

  if (const std::string* found = doc.Find(section.c_str(), key.c_str())) (void)ParseProfileInt(*found, 7);
  (void)ParseProfileInt(input, -1);

  section = Field(section, "[]");
  key = Field(key, "=[;");
  value = Field(value, "\x01");
  if (key.empty()) return 0;
  doc.Set(section.c_str(), key.c_str(), value.c_str());
  const std::string* found = doc.Find(section.c_str(), key.c_str());
  FUZZ_CHECK(found && *found == value);

  const std::string written = doc.Serialize();
  if (written.compare(0, 3, Mark) == 0 && file.compare(0, 3, Mark) != 0) return 0;
  ProfileDocument reread = ProfileDocument::Parse(written);
  FUZZ_CHECK(reread.Serialize() == written);
  found = reread.Find(section.c_str(), key.c_str());
  FUZZ_CHECK(found && *found == value);
  return 0;
}
