// The Base64 codec: RFC 4648 output, the encoder's room rule, the decoder's
// stops and its writes.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "net/base64.h"

namespace {

std::string Encoded(const std::string& text, int limit) {
  std::string out(static_cast<size_t>(limit) + 8, '#');
  const char* result = Base64Encode(text.c_str(), &out[0], limit);
  return result ? std::string(result) : "<none>";
}

TEST(Base64, EncodeTable) {
  std::string aaa198;  // "aaa" encodes to "YWFh"
  for (int i = 0; i < 66; ++i) aaa198 += "YWFh";
  struct Case {
    std::string text;
    int limit;
    std::string expected;
  } cases[] = {
      {"", 265, ""},
      {"f", 265, "Zg=="},
      {"fo", 265, "Zm8="},
      {"foo", 265, "Zm9v"},
      {"foob", 265, "Zm9vYg=="},
      {"fooba", 265, "Zm9vYmE="},
      {"foobar", 265, "Zm9vYmFy"},
      {":", 265, "Og=="},
      {"user:pass", 265, "dXNlcjpwYXNz"},
      {"\xff\xfe\xfd\x80", 265, "//79gA=="},
      // A group starts only while four characters and the terminator fit.
      {"foo", 5, "Zm9v"},
      {"foob", 5, "<none>"},
      {"f", 4, "<none>"},
      {std::string(198, 'a'), 265, aaa198},
      {std::string(199, 'a'), 265, "<none>"},
      {std::string(97, 'a'), 130, "<none>"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(Encoded(c.text, c.limit), c.expected) << c.text.size() << " bytes, limit " << c.limit;

  std::string out(130, '#');
  ASSERT_NE(Base64Encode(std::string(96, 'a').c_str(), &out[0], 130), nullptr);
  EXPECT_EQ(std::strlen(out.c_str()), 128u);
}

TEST(Base64, DecodeTable) {
  struct Case {
    const char* text;
    int length;
    int capacity;
    bool decodes;
    std::string expected;  // the first 10 bytes of the output buffer afterwards
  } cases[] = {
      {"Zm9vYmFy", 8, 16, true, std::string("foobar____", 10)},
      {"Zm9vYg==", 8, 16, true, "foob______"},
      {"Zm8=", 4, 16, true, "fo________"},
      {"Zg==", 4, 16, true, "f_________"},
      // Nothing at all is written for a bad length.
      {"Zm9vYmFy", 0, 16, false, "__________"},
      {"Zm9vY", 5, 16, false, "__________"},
      {"Zm9vYmF", 7, 16, false, "__________"},
      // The first "=" ends the text, whatever the length says.
      {"Zg==Zm9v", 8, 16, true, "f_________"},
      {"Zm9v=m9v", 8, 16, true, "foo_______"},
      // The length ends it too, before the terminator.
      {"Zm9vYmFy", 4, 16, true, "foo_______"},
      // Never more than the capacity.
      {"Zm9vYmFy", 8, 4, true, "foob______"},
  };
  for (const Case& c : cases) {
    char out[16];
    std::memset(out, '_', sizeof out);
    const char* result = Base64Decode(c.text, out, c.length, c.capacity);
    EXPECT_EQ(result != nullptr, c.decodes) << c.text << "/" << c.length;
    EXPECT_EQ(std::string(out, 10), c.expected) << c.text << "/" << c.length;
  }
}

TEST(Base64, CharValueTable) {
  struct Case {
    char c;
    int value;
  } cases[] = {
      {'A', 0},
      {'Z', 25},
      {'a', 26},
      {'z', 51},
      {'0', 52},
      {'9', 61},
      {'+', 62},
      {'/', 63},
      {'=', 64},
      {'*', 255},
      {' ', 255},
      {'\0', 255},
      {'-', 255},
      {'_', 255},
      // Only the low seven bits count.
      {static_cast<char>('A' | 0x80), 0},
      {static_cast<char>('=' | 0x80), 64},
      {static_cast<char>(0xFF), 255},
  };
  for (const Case& c : cases) EXPECT_EQ(Base64CharValue(c.c), c.value) << static_cast<int>(c.c);
}

// What the settings file stores must come back byte for byte: every byte value
// but zero, at every remainder of three.
TEST(Base64, RoundTripsEveryByteValue) {
  std::string all;
  for (int v = 1; v < 256; ++v) all += static_cast<char>(v);
  for (size_t n = all.size() - 2; n <= all.size(); ++n) {
    const std::string text = all.substr(0, n);
    char encoded[400];
    ASSERT_NE(Base64Encode(text.c_str(), encoded, sizeof encoded), nullptr);
    char decoded[300] = {};
    Base64Decode(encoded, decoded, static_cast<int>(std::strlen(encoded)), sizeof decoded);
    EXPECT_EQ(std::string(decoded), text) << n;
  }
}

}  // namespace
