// Decoding whois replies to UTF-8: the server list, the UTF-8 guess with its
// switch to Windows-1252, the legacy charsets, and every cut a receive can make.
#include <gtest/gtest.h>

#include <string>

#include "engine/reply_decoder.h"

namespace {

const char JpServer[] = "whois.nic.ad.jp";

std::string DecodeInTwo(const char* server, const std::string& bytes, size_t cut, std::string* charset = nullptr) {
  ReplyDecoder decoder(server);
  std::string out;
  decoder.Decode(bytes.data(), cut, out);
  decoder.Decode(bytes.data() + cut, bytes.size() - cut, out);
  decoder.Finish(out);
  if (charset) *charset = decoder.Charset();
  return out;
}

std::string DecodeByteByByte(const char* server, const std::string& bytes) {
  ReplyDecoder decoder(server);
  std::string out;
  for (char c : bytes) decoder.Decode(&c, 1, out);
  decoder.Finish(out);
  return out;
}

// Wine has no ISO-2022-JP converter: there the Japanese comes out as one "?"
// per character and the ASCII as it is.
bool IsJapaneseFallback(const std::string& out, const std::string& fallback) {
#ifdef _WIN32
  return out == fallback;
#else
  (void)out;
  (void)fallback;
  return false;
#endif
}

TEST(KnownServerCharset, Table) {
  struct Case {
    const char* host;
    const char* charset;
  } cases[] = {
      {"whois.nic.hu", "iso-8859-1"},
      {"WHOIS.Nic.HU:43", "iso-8859-1"},
      {"whois.nic.hu.", "iso-8859-1"},
      {"whois.nic.ad.jp", "iso-2022-jp"},
      {"whois.kg", "cp1251"},
      {"whois.denic.de", "utf-8"},
      {"nic.hu", nullptr},
      {"whois.nic.hu.example", nullptr},
      {"", nullptr},
  };
  for (const Case& c : cases) {
    const char* found = KnownServerCharset(c.host);
    EXPECT_STREQ(found ? found : "(none)", c.charset ? c.charset : "(none)") << c.host;
  }
  EXPECT_EQ(KnownServerCharset(std::string(300, 'a').c_str()), nullptr);
  // Every row is found (the list is in order) and its charset is one the decoder reads.
  for (size_t i = 0; i < ServerCharsetCount; ++i) {
    EXPECT_STREQ(KnownServerCharset(ServerCharsets[i].Server), ServerCharsets[i].Charset);
    EXPECT_STREQ(ReplyDecoder(ServerCharsets[i].Server).Charset(), ServerCharsets[i].Charset);
  }
}

// Each reply cut once at every byte, and fed one byte at a time, decodes as a whole.
TEST(ReplyDecoder, EveryCutDecodesAlike) {
  struct Case {
    const char* server;
    std::string bytes;
    std::string text;
    const char* charset;
    std::string fallback = "";  // Japanese without a converter
  } cases[] = {
      {"whois.nic.hu",
       "Szab\xf3 \xc1rp\xe1"
       "d\n",
       "Szabó Árpád\n", "iso-8859-1"},
      {"whois.apnic.net", "caf\xc3\xa9", "cafÃ©", "iso-8859-1"},  // the list comes before the guess
      {"whois.example", "Caf\xe9 \x80 M\xfcller", "Café € Müller", "windows-1252"},
      {"whois.example", "Zażółć gęślą jaźń", "Zażółć gęślą jaźń", "utf-8"},
      {"whois.example", "Привет мир", "Привет мир", "utf-8"},
      {"whois.example", "Καλημέρα κόσμε", "Καλημέρα κόσμε", "utf-8"},
      {"whois.example", "مرحبا بالعالم", "مرحبا بالعالم", "utf-8"},
      {"whois.example", "日本語のテキスト", "日本語のテキスト", "utf-8"},
      {"whois.example", "ok 🙂👍\n", "ok 🙂👍\n", "utf-8"},
      {"whois.example", std::string("a\0b", 3), std::string("a\0b", 3), "utf-8"},
      // Valid at first, then not: what came before stays UTF-8.
      {"whois.example", "café, caf\xe9", "café, café", "windows-1252"},
      {"whois.example", "ab\xe2\x82", "abâ‚", "windows-1252"},                      // ends inside a character
      {"whois.example", "\xc0\xaf \xed\xa0\x80", "À¯ í\xc2\xa0€", "windows-1252"},  // overlong, surrogate
      {"whois.example", "\x81\xe9\x9d", "\uFFFDé\uFFFD", "windows-1252"},           // undefined in Windows-1252
      {"whois.kg", "\x98\xcf", "\uFFFDП", "cp1251"},
      {"whois.denic.de",
       "a\xff"
       "b\xe2\x82"
       "c\xe2\x82",
       "a\uFFFDb\uFFFDc\uFFFD", "utf-8"},
      {"whois.kg", "\xcf\xf0\xe8\xe2\xe5\xf2, \xca\xfb\xf0\xe3\xfb\xe7\xf1\xf2\xe0\xed", "Привет, Кыргызстан",
       "cp1251"},
      {JpServer, "[\x1b$BEPO?G/7nF|\x1b(B] 2001/01/01\n\x1b$B%I%a%$%s>pJs\x1b(J\n",
       "[登録年月日] 2001/01/01\nドメイン情報\n", "iso-2022-jp", "[?????] 2001/01/01\n??????\n"},
  };
  for (const Case& c : cases) {
    for (size_t cut = 0; cut <= c.bytes.size(); ++cut) {
      std::string charset;
      const std::string out = DecodeInTwo(c.server, c.bytes, cut, &charset);
      if (!IsJapaneseFallback(out, c.fallback)) {
        EXPECT_EQ(out, c.text) << c.server << " cut at " << cut;
      }
      EXPECT_EQ(charset, c.charset) << c.server;
    }
    const std::string out = DecodeByteByByte(c.server, c.bytes);
    if (!IsJapaneseFallback(out, c.fallback)) {
      EXPECT_EQ(out, c.text) << c.server << " byte by byte";
    }
  }
}

// Long text, where the scan goes by blocks: each script's characters and
// then a faulty byte, at every offset around the block sizes. The valid
// part stays as it is; the fault switches a guess, and is U+FFFD where the
// server is known to send UTF-8.
TEST(ReplyDecoder, FaultFoundAfterAnyScriptAtAnyOffset) {
  const char* scripts[] = {u8"Zażółć", u8"Москва", u8"Ελλάδα", u8"مرحبا", u8"日本語", u8"🙂👍", u8"\u0080\u009F"};
  for (const char* script : scripts)
    for (size_t offset : {0u, 1u, 15u, 16u, 17u, 63u, 64u, 65u, 100u}) {
      const std::string valid = std::string(offset, 'a') + script + std::string(offset % 7, 'b');
      const std::string tail(70, 'c');
      std::string charset;
      EXPECT_EQ(DecodeInTwo("whois.example", valid + "\xff" + tail, 0, &charset), valid + "\u00FF" + tail)
          << script << " at " << offset;
      EXPECT_EQ(charset, "windows-1252");
      EXPECT_EQ(DecodeInTwo("whois.denic.de", valid + "\xe2\x28" + tail, 0), valid + "\uFFFD(" + tail);
      EXPECT_EQ(DecodeInTwo("whois.example", valid + tail, 0, &charset), valid + tail);
      EXPECT_EQ(charset, "utf-8");
    }
}

TEST(ReplyDecoder, SwitchesForTheRestOnly) {
  ReplyDecoder decoder("whois.example:4343");
  std::string out;
  decoder.Decode("M\xc3\xbcller\n", 8, out);
  EXPECT_EQ(out, "Müller\n");
  EXPECT_STREQ(decoder.Charset(), "utf-8");
  decoder.Decode("M\xfcller \xc3", 8, out);
  decoder.Decode("\xbc\n", 2, out);
  decoder.Finish(out);
  EXPECT_EQ(out, "Müller\nMüller Ã¼\n");
  EXPECT_STREQ(decoder.Charset(), "windows-1252");
}

// Longer than one piece for the converter: the two-byte state carries over.
TEST(ReplyDecoder, LongIso2022JpLine) {
  std::string bytes = "\x1b$B", text, fallback;
  for (int i = 0; i < 20000; ++i) {
    bytes += "F|";
    text += "日";
    fallback += "?";
  }
  bytes += "\x1b(B.\n";
  ReplyDecoder decoder(JpServer);
  std::string out;
  decoder.Decode(bytes.data(), bytes.size(), out);
  decoder.Finish(out);
  if (!IsJapaneseFallback(out, fallback + ".\n")) {
    EXPECT_EQ(out, text + ".\n");
  }
}

}  // namespace
