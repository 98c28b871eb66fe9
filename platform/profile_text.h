// The in-memory form of an INI file, shared by the POSIX profile functions and
// their tests. It keeps the file the way the Windows profile code does:
// sections and keys in file order, every other line kept as a key of its own,
// blank lines dropped, names and values trimmed.
#pragma once
#include <string>
#include <vector>

namespace platform {

struct ProfileKey {
  std::string Name;
  std::string Value;
  bool HasValue = false;  // a line without "=" is a key without a value
};

struct ProfileSection {
  std::string Name;  // empty for the lines before the first section header
  std::vector<ProfileKey> Keys;
};

class ProfileDocument {
 public:
  static ProfileDocument Parse(const std::string& text);
  std::string Serialize() const;  // CR LF line ends

  // The value of a key in the first section of that name (names compare
  // without letter case or surrounding blanks), or nullptr when the key is
  // absent or has no value.
  const std::string* Find(const char* section, const char* key) const;
  // Replaces the value in place, or appends the key to the first section of
  // that name, or the section to the file. Returns false when nothing changed.
  bool Set(const char* section, const char* key, const char* value);
  // The keys of the first section of that name (none when it is absent), and
  // their replacement, which appends the section when it is absent.
  std::vector<ProfileKey> Section(const char* section) const;
  void ReplaceSection(const char* section, std::vector<ProfileKey> keys);

 private:
  bool byteOrderMark_ = false;  // a UTF-8 mark at the start is written back
  // The first entry always holds the lines before the first header.
  std::vector<ProfileSection> sections_ = std::vector<ProfileSection>(1);
};

// No CR or LF: a text that holds one would end its line in the file, and what
// follows would be read as keys and sections of their own.
bool FitsOneProfileLine(const char* text);
// A value as the profile functions return it: surrounding quotes removed.
std::string UnquoteProfileValue(const std::string& value);
// Integer reading of GetPrivateProfileInt: sign, 0x/0o/0b prefixes, leading
// digits, 32-bit wrap; `fallback` for an empty value.
int ParseProfileInt(const std::string& value, int fallback);

}  // namespace platform
