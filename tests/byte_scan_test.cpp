// The byte scans: the vector and the word way against a plain loop, on every
// byte value at every place and on real text of every script.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/byte_scan.h"

namespace {

using platform::ByteSet;

// The sets the program scans for, each written the way it is used.
const ByteSet Sets[] = {
    ByteSet::AllBut({{'\t', '\n'}, {0x20, 0x7E}}),  // the console filter's stops
    ByteSet::AllBut({{'\t', '\t'}, {0x20, 0x7E}}),
    ByteSet{{0x00, 0x20}},  // where a blank can be
    ByteSet{{0x80, 0xFF}},
    ByteSet{{0x80, 0xBF}, {0xF5, 0xFF}},  // a range from 0x80 and one to 0xFF
    ByteSet{{0x00, 0x7F}},
    ByteSet{{'@', '@'}, {0x7F, 0x9F}, {0xC2, 0xC2}, {0xFF, 0xFF}},
};

const char* First(const std::string& s, const ByteSet& set) {
  for (const char& c : s)
    if (set.Contains(static_cast<unsigned char>(c))) return &c;
  return s.data() + s.size();
}
const char* Last(const std::string& s, const ByteSet& set) {
  for (size_t i = s.size(); i-- > 0;)
    if (set.Contains(static_cast<unsigned char>(s[i]))) return s.data() + i;
  return s.data() + s.size();
}
const char* Pair(const std::string& s, const ByteSet& a, const ByteSet& b) {
  for (size_t i = 0; i + 1 < s.size(); ++i)
    if (a.Contains(static_cast<unsigned char>(s[i])) && b.Contains(static_cast<unsigned char>(s[i + 1])))
      return s.data() + i;
  return s.data() + s.size();
}

void ExpectAllWaysAgree(const std::string& text, const std::string& what) {
  const char* b = text.data();
  const char* e = b + text.size();
  for (const ByteSet& set : Sets) {
    ASSERT_EQ(platform::FindByte(b, e, set), First(text, set)) << what;
    ASSERT_EQ(platform::FindByteWordwise(b, e, set), First(text, set)) << what;
    ASSERT_EQ(platform::FindLastByte(b, e, set), Last(text, set)) << what;
    ASSERT_EQ(platform::FindLastByteWordwise(b, e, set), Last(text, set)) << what;
  }
  const ByteSet space{{' ', ' '}}, w{{'W', 'W'}, {'w', 'w'}};
  ASSERT_EQ(platform::FindBytePair(b, e, space, w), Pair(text, space, w)) << what;
  ASSERT_EQ(platform::FindBytePairWordwise(b, e, space, w), Pair(text, space, w)) << what;
  ASSERT_EQ(platform::FindBytePair(b, e, Sets[3], Sets[2]), Pair(text, Sets[3], Sets[2])) << what;
}

TEST(ByteScan, EveryByteAtEveryPlace) {
  for (int value = 0; value < 256; ++value)
    for (size_t length : {1u, 8u, 9u, 17u, 33u, 65u, 80u, 150u})
      for (size_t at = 0; at < length; ++at) {
        std::string text(length, 'a');
        text[at] = static_cast<char>(value);
        ExpectAllWaysAgree(text, std::to_string(value) + " at " + std::to_string(at) + " of " + std::to_string(length));
        text[length - 1 - (length - 1 - at) / 2] = ' ';  // a second hit after the first
        ExpectAllWaysAgree(text, "two, " + std::to_string(value) + " at " + std::to_string(at));
      }
}

// Every script's multi-byte characters, whose continuation bytes run from
// 0x80 to 0xBF, from each start and to each end.
TEST(ByteScan, RealTextOfEveryScript) {
  const std::string text = std::string(
                               u8"Łódź, Kraków; Москва, сайт; Ελλάδα; مرحبا بالعالم; שלום; नमस्ते; ไทย; "
                               u8"例えば日本語のテキスト、한국어; 😀🎉 café\tend\r\n") +
                           "whois.example Whois: x\x85\xc2\x9b\x7f\x01";
  for (size_t from = 0; from < 40; ++from)
    for (size_t cut = 0; cut < 40 && from + cut <= text.size(); ++cut)
      ExpectAllWaysAgree(text.substr(from, text.size() - from - cut), "from " + std::to_string(from));
}

}  // namespace
