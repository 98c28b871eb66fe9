// The console front end's own rules: proxy URLs and the console sink.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <cerrno>
#include <clocale>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/console_sink.h"
#include "cli/proxy_url.h"
#include "cli/terminal_filter.h"
#include "settings/recent_queries.h"
#include "settings/settings.h"
#include "tests/support/temp_files.h"

namespace {

TEST(ParseProxyUrl, Accepted) {
  struct Case {
    const char* url;
    int type, resolve, useAuth;
    const char *server, *login, *pass;
    int port;
  } cases[] = {
      {"http://proxy.example:3128", HTTP, 0, 0, "proxy.example", "", "", 3128},
      {"HTTP://proxy.example", HTTP, 0, 0, "proxy.example", "", "", 8080},
      {"socks4://10.0.0.1:1081/", Socks4, 0, 0, "10.0.0.1", "", "", 1081},
      {"socks4a://user@p", Socks4, 1, 1, "p", "user", "", 1080},
      {"socks5://u:p%40ss%3A@p:1", Socks5, 0, 1, "p", "u", "p@ss:", 1},
      {"socks5h://u:@p:65535", Socks5, 1, 1, "p", "u", "", 65535},
      {"http://a@b@host:80", HTTP, 0, 1, "host", "a@b", "", 80},  // the last "@" ends the credentials
  };
  for (const Case& c : cases) {
    ProxyChoice choice;
    std::string error;
    ASSERT_TRUE(ParseProxyUrl(c.url, choice, error)) << c.url << ": " << error;
    EXPECT_EQ(choice.Type, c.type) << c.url;
    EXPECT_EQ(choice.Resolve, c.resolve) << c.url;
    EXPECT_EQ(choice.UseAuth, c.useAuth) << c.url;
    EXPECT_EQ(choice.Server, c.server) << c.url;
    EXPECT_EQ(choice.Login, c.login) << c.url;
    EXPECT_EQ(choice.Pass, c.pass) << c.url;
    EXPECT_EQ(choice.Port, c.port) << c.url;
  }
}

TEST(ParseProxyUrl, Refused) {
  const std::string longHost(128, 'h');
  const std::vector<std::string> urls = {"proxy.example:8080",
                                         "gopher://p",
                                         "http://",
                                         "http://:80",
                                         "http://p:0",
                                         "http://p:65536",
                                         "http://p:80x",
                                         "http://p:",
                                         "http://p/path",
                                         "socks5://u:%zz@p",
                                         "socks5://u:%0@p",
                                         "socks5://u:%00@p",
                                         std::string("http://") + longHost,
                                         "http://" + longHost + "@p"};
  for (const std::string& url : urls) {
    ProxyChoice choice;
    std::string error;
    EXPECT_FALSE(ParseProxyUrl(url, choice, error)) << url;
    EXPECT_FALSE(error.empty()) << url;
  }
}

std::string ReadAll(std::FILE* f) {
  std::fflush(f);
  std::rewind(f);
  std::string out;
  for (int c; (c = std::fgetc(f)) != EOF;) out += static_cast<char>(c);
  std::fclose(f);
  return out;
}

std::string Render(bool colour, TextKind kind, const char* text) {
  std::FILE* f = std::tmpfile();
  {
    ConsoleSink sink(f, colour, "");
    sink.SetCharset("UTF-8");
    sink.AppendOutput(kind, text);
  }
  return ReadAll(f);
}

// Pieces handed over one after the other, as the pane's text; or, quiet, as
// reply chunks to a terminal.
std::string RenderPieces(const std::vector<std::string>& pieces, bool crlf, const char* charset = "UTF-8",
                         bool quiet = false) {
  std::FILE* f = std::tmpfile();
  {
    ConsoleSink sink(f, false, "");
    sink.SetCrLfLineEnds(crlf);
    sink.SetCharset(charset);
    if (quiet) sink.SetQuiet(nullptr, false);
    for (const std::string& piece : pieces) {
      if (quiet) sink.ReplyChunk(piece.data(), static_cast<int>(piece.size()));
      else sink.AppendPiece(Plain, "", 0, piece.data(), piece.size());
    }
  }
  return ReadAll(f);
}

// Control characters (C0, DEL, C1 raw and in UTF-8) and a CR that does not
// begin a CR LF become "?", also where a piece boundary splits the pair.
TEST(ConsoleSink, ControlCharactersAndLineEnds) {
  struct Case {
    std::vector<std::string> pieces;
    const char* posix;
    const char* windows;
  } cases[] = {
      {{"a\tb\r\nc\n"}, "a\tb\r\nc\n", "a\tb\r\nc\r\n"},
      {{"EVIL\rGOOD\n"}, "EVIL?GOOD\n", "EVIL?GOOD\r\n"},
      {{"x\r"}, "x?", "x?"},                                   // a CR at the very end
      {{"line\r", "\nnext"}, "line\r\nnext", "line\r\nnext"},  // CR LF cut by a chunk boundary
      {{"line\r", "next"}, "line?next", "line?next"},
      {{"a\r\r\n"}, "a?\r\n", "a?\r\n"},
      {{"\x9d"
        "2;TITLE\x9c"},
       "?2;TITLE?",
       "?2;TITLE?"},  // raw C1: OSC ... ST
      {{"\x1b]0;t\x07\x7f\x01"}, "?]0;t???", "?]0;t???"},
      {{"\xc2\x9b"
        "31m \xc2\x80"},
       "?31m ?",
       "?31m ?"},  // U+009B, U+0080 in UTF-8
      {{"\xc2", "\x85"}, "?", "?"},
      {{"\xc2\xa9 caf\xc3\xa9 \xc2"}, "\xc2\xa9 caf\xc3\xa9 ?", "\xc2\xa9 caf\xc3\xa9 ?"},
      {{"\xa0\xff\x7e"}, "??~", "??~"},  // bytes of no character
      {{"Ja: \xe4\xbe", "\x8b\xe3", "\x81\x88"}, "Ja: \xe4\xbe\x8b\xe3\x81\x88", "Ja: \xe4\xbe\x8b\xe3\x81\x88"},
      {{"\xe4\xbe", "x"}, "??x", "??x"},  // a character cut short
      {{"\xf0\x9f\x98"}, "???", "???"},   // ... by the end of the text
      {{"\xc0\xaf \xe0\x80\xaf \xed\xa0\x80 \xf4\x90\x80\x80"}, "?? ??? ??? ????", "?? ??? ??? ????"},
      {{"\xe2\x80\x8b\xef\xbf\xbd\xf4\x8f\xbf\xbf"},
       "\xe2\x80\x8b\xef\xbf\xbd\xf4\x8f\xbf\xbf",
       "\xe2\x80\x8b\xef\xbf\xbd\xf4\x8f\xbf\xbf"},      // U+200B, U+FFFD, U+10FFFF
      {{"\xc2\x9f\xc2\xa0"}, "?\xc2\xa0", "?\xc2\xa0"},  // U+009F is the last C1 control
      {{"0123456789abcdef0123\n456789\x85"}, "0123456789abcdef0123\n456789?", "0123456789abcdef0123\r\n456789?"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(RenderPieces(c.pieces, false), c.posix) << c.pieces[0];
    EXPECT_EQ(RenderPieces(c.pieces, true), c.windows) << c.pieces[0];
  }
}

// The filter's output, gathered.
struct Gathered final : TextStage {
  std::string text;
  using TextStage::Put;
  void Put(const char* bytes, size_t count) override { text.append(bytes, count); }
};

std::string Filtered(const std::string& text, bool crlf) {
  Gathered out;
  TerminalFilter filter(out, crlf);
  filter.Put(text.data(), text.size());
  filter.Finish();
  return out.text;
}

// One byte of every value at every place of a text of lines, in blocks and
// in the rest: it alone is rewritten (a byte above 0x7F alone is no character).
TEST(ConsoleSink, EveryByteAtEveryPlace) {
  for (bool crlf : {false, true}) {
    for (int value = 0; value < 256; ++value) {
      for (size_t length : {1u, 8u, 9u, 17u, 40u, 65u, 130u}) {
        for (size_t at = 0; at < length; ++at) {
          std::string text(length, 'a');
          for (size_t i = 8; i < length; i += 9) text[i] = '\n';
          text[at] = static_cast<char>(value);
          std::string expected;
          for (size_t i = 0; i < length; ++i) {
            const char c = text[i];
            const unsigned char u = static_cast<unsigned char>(c);
            if (c == '\n' || (c == '\r' && i + 1 < length && text[i + 1] == '\n'))
              expected += c == '\n' && !crlf ? "\n" : "\r\n";
            else expected += c == '\t' || (u >= 0x20 && u < 0x7F) ? c : '?';
            if (c == '\r' && expected.back() == '\n') ++i;
          }
          ASSERT_EQ(Filtered(text, crlf), expected) << value << " at " << at << " of " << length;
        }
      }
    }
  }
}

// Text of every script comes out whole: at once, cut into two at every
// place (a chunk's end inside a character), a byte at a time, quiet to a
// terminal; quiet to a pipe the bytes stay the bytes.
TEST(ConsoleSink, EveryScriptIntact) {
  const char* texts[] = {
      u8"Registrant City: Łódź\r\n", u8"Адрес: Москва, сайт\n", u8"Χώρα: Ελλάδα\n", u8"العنوان: القاهرة\n",
      u8"住所: 例えば東京都\n",      u8"Note: 😀🎉 ok\n",         u8"Ja: 例え",
  };
  for (const std::string text : texts) {
    EXPECT_EQ(RenderPieces({text}, false), text);
    EXPECT_EQ(RenderPieces({text}, false, "UTF-8", true), text);
    for (size_t cut = 0; cut <= text.size(); ++cut) {
      const std::vector<std::string> two = {text.substr(0, cut), text.substr(cut)};
      ASSERT_EQ(RenderPieces(two, false), text) << text << " cut at " << cut;
      ASSERT_EQ(RenderPieces(two, false, "UTF-8", true), text) << text << " cut at " << cut;
    }
    std::vector<std::string> bytes;
    for (char c : text) bytes.push_back(std::string(1, c));
    EXPECT_EQ(RenderPieces(bytes, false), text);
  }
}

// The same texts and the rule's cases among long runs of ASCII, so that they
// fall at every place of the scan's 16- and 64-byte blocks, and cut in two
// at every place.
TEST(ConsoleSink, EveryScriptAndControlAtEveryBlockOffset) {
  const struct {
    std::string text, shown;
  } cases[] = {
      {u8"Łódź", u8"Łódź"},
      {u8"Москва", u8"Москва"},
      {u8"Ελλάδα", u8"Ελλάδα"},
      {u8"القاهرة", u8"القاهرة"},
      {u8"例えば東京", u8"例えば東京"},
      {u8"😀🎉", u8"😀🎉"},
      {"\x1b[31m\x1b]0;t\x07", "?[31m?]0;t?"},
      {"a\rb\r\nc", "a?b\r\nc"},
      {"\xc2\x85\xc2\x9b\x7f", "???"},
      {"\xff\xe4\xbe x\xf0\x9f\x98", "??? x???"},
  };
  for (const auto& c : cases)
    for (size_t before : {0u, 1u, 15u, 16u, 17u, 47u, 63u, 64u, 65u, 100u}) {
      const std::string text = std::string(before, 'a') + c.text + std::string(70, 'z') + "\n";
      const std::string shown = std::string(before, 'a') + c.shown + std::string(70, 'z') + "\n";
      ASSERT_EQ(Filtered(text, false), shown) << c.text << " after " << before;
      for (size_t cut = before; cut <= before + c.text.size(); ++cut) {
        const std::vector<std::string> two = {text.substr(0, cut), text.substr(cut)};
        ASSERT_EQ(RenderPieces(two, false), shown) << c.text << " after " << before << " cut at " << cut;
        ASSERT_EQ(RenderPieces(two, false, "UTF-8", true), shown) << c.text << " cut at " << cut;
      }
    }
}

#ifndef _WIN32
// Another locale's character set: what it holds converted, "?" for each
// character it lacks (not for each byte). Windows writes UTF-8 and UTF-16.
TEST(ConsoleSink, LocaleCharsets) {
  struct Case {
    const char* charset;
    const char* text;
    const char* expected;
  } cases[] = {
      {"ANSI_X3.4-1968", u8"Łódź 例え 😀 x\x1b\n", "??d? ?? ? x?\n"},
      {"ISO-8859-1", u8"Łódź café\r\n",
       "?\xf3"
       "d? caf\xe9\r\n"},
      {"ISO-8859-2", u8"Łódź\n",
       "\xa3\xf3"
       "d\xbc\n"},
      {"SHIFT_JIS", u8"例え Ελ\n", "\x97\xe1\x82\xa6 \x83\xa3\x83\xc9\n"},
      {"ISO-2022-JP", u8"例え", "\x1b$BNc$(\x1b(B"},
      {"UTF-8", u8"Łódź", u8"Łódź"},
  };
  for (const Case& c : cases) EXPECT_EQ(RenderPieces({c.text}, false, c.charset), c.expected) << c.charset;
}

// The charset is the locale's unless a test names one.
TEST(ConsoleSink, CharsetOfTheLocale) {
  const std::string saved = std::setlocale(LC_CTYPE, nullptr);
  for (const char* locale : {"C", "C.UTF-8"}) {
    if (!std::setlocale(LC_CTYPE, locale)) continue;
    std::FILE* f = std::tmpfile();
    {
      ConsoleSink sink(f, false, "");
      sink.AppendOutput(Plain, u8"Łódź");
    }
    EXPECT_EQ(ReadAll(f), std::string(locale) == "C" ? "??d?" : u8"Łódź") << locale;
  }
  std::setlocale(LC_CTYPE, saved.c_str());
}
#endif

// A reply piece handed over as prefix and bytes is written exactly as the
// same text joined and appended: every mode, pieces cut anywhere, a CR or
// 0xC2 at a piece's end, staging full.
TEST(ConsoleSink, PiecesAsAppendedText) {
  struct Piece {
    TextKind kind;
    std::string prefix, text;
  };
  const std::string big(70000, 'b');
  const std::vector<std::vector<Piece>> cases = {
      {{Plain, "", "Email: "}, {MailLink, "mailto:", "a@b\r\n"}, {Plain, "", "next\r"}, {Plain, "", "\nend"}},
      {{MailLink, "mailto:", "x@y\xc2"}, {Plain, "", "\x85 \x1b[2J\x9b\x7f"}, {Info, "", "\nprogress\n"}},
      {{Plain, "", "\xc2"}, {MailLink, "mailto:", "\x85@z"}, {Plain, "", "l\ti\nn\re"}},
      {{Plain, "", big}, {MailLink, "mailto:", "a@" + big}, {Plain, "", "\r"}, {Error, "", "\nfailed\r"}},
      {{MailLink, "longer prefix than most: ", "a@b"}, {Detail, "detail ", "text"}, {Plain, "", ""}},
      {{Error, "", "Invalid\x1b]0;x"}, {Error, "pre", ""}, {Plain, "", "reply\n"}},
  };
  for (const std::vector<Piece>& pieces : cases) {
    for (int mode = 0; mode < 6; ++mode) {
      const bool colour = mode & 1, crlf = mode & 2, quiet = mode & 4;
      std::string written[2], errors[2];
      for (int way = 0; way < 2; ++way) {
        std::FILE* out = std::tmpfile();
        std::FILE* err = std::tmpfile();
        {
          ConsoleSink sink(out, colour, "");
          sink.SetCharset("UTF-8");
          sink.SetCrLfLineEnds(crlf);
          if (quiet) sink.SetQuiet(err, true);
          for (const Piece& p : pieces) {
            if (way == 0) sink.AppendOutput(p.kind, (p.prefix + p.text).c_str());
            else sink.AppendPiece(p.kind, p.prefix.data(), p.prefix.size(), p.text.data(), p.text.size());
          }
          sink.ReplyChunk("", 0);
        }
        written[way] = ReadAll(out);
        errors[way] = ReadAll(err);
      }
      EXPECT_EQ(written[1], written[0]) << "mode " << mode << ", first piece " << pieces[0].text.substr(0, 20);
      EXPECT_EQ(errors[1], errors[0]) << "mode " << mode;
    }
  }
}

// Quiet: the replies' bytes unchanged on `out`, errors alone on `errors`
// (each ended with a line end), nothing else.
TEST(ConsoleSink, QuietWritesTheRepliesAsSent) {
  const std::string reply("Domain: x\r\n\x1b[2J\0\x9d\rend", 21);
  for (bool raw : {true, false}) {
    std::FILE* out = std::tmpfile();
    std::FILE* errors = std::tmpfile();
    {
      ConsoleSink sink(out, true, "");
      sink.SetQuiet(errors, raw);
      sink.AppendOutput(Info, "Querying x:43...\n");
      sink.AppendOutput(Detail, "banner");
      sink.AppendOutput(Plain, "Hostname:\tx\n");
      sink.AppendOutput(MailLink, "mailto:a@b\n");
      sink.ReplyChunk(reply.data(), static_cast<int>(reply.size()));
      sink.AppendOutput(Error, "Invalid Packed IP address.");
      sink.AppendOutput(Error, "\x1b]0;x\n");
    }
    EXPECT_EQ(ReadAll(out), raw ? reply : std::string("Domain: x\r\n?[2J???end")) << raw;
    EXPECT_EQ(ReadAll(errors), "Invalid Packed IP address.?]0;x\n");
  }
}

// Reply pieces wait for the end of their chunk, progress lines do not: the
// order stays, and so does a CR LF that spans the two.
TEST(ConsoleSink, PiecesAndProgressKeepTheirOrder) {
  std::FILE* f = std::tmpfile();
  {
    ConsoleSink sink(f, false, "");
    sink.SetCrLfLineEnds(false);
    sink.AppendOutput(Plain, "reply\r");
    sink.AppendOutput(Error, "\n>>Error<<\r");
    sink.AppendOutput(MailLink, "mailto:a@b\x9b");
    sink.ReplyChunk("", 0);
    sink.AppendOutput(Plain, "\n");
  }
  EXPECT_EQ(ReadAll(f), "reply\r\n>>Error<<?mailto:a@b?\n");
}

off_t WrittenSize(std::FILE* f) {
  struct stat st;
  return fstat(fileno(f), &st) == 0 ? st.st_size : -1;
}

// A reply's pieces reach the file at the end of their chunk; progress at once.
TEST(ConsoleSink, FlushesAtEachChunkAndProgressLine) {
  std::FILE* f = std::tmpfile();
  ConsoleSink sink(f, false, "");
  sink.SetCrLfLineEnds(false);
  sink.AppendOutput(Plain, "reply piece ");
  sink.AppendOutput(MailLink, "mailto:a@b\n");
  EXPECT_EQ(WrittenSize(f), 0);
  sink.ReplyChunk("", 0);
  EXPECT_EQ(WrittenSize(f), 23);
  sink.AppendOutput(Info, "\nQuerying x:43...\n");
  EXPECT_EQ(WrittenSize(f), 41);
  EXPECT_TRUE(sink.Finish());
  std::fclose(f);
}

// A failed write stops the lookup and is reported once at the end.
TEST(ConsoleSink, WriteErrorStopsTheLookup) {
  std::FILE* full = std::fopen("/dev/full", "w");
  if (!full) GTEST_SKIP() << "no /dev/full";
  std::atomic<int> cancel{0};
  {
    ConsoleSink sink(full, false, "");
    sink.SetCancelFlag(&cancel);
    sink.AppendOutput(Info, "Querying x:43...\n");
    EXPECT_TRUE(sink.WriteFailed());
    EXPECT_EQ(cancel, 1);
    EXPECT_FALSE(sink.Finish());
    EXPECT_EQ(sink.WriteErrno(), ENOSPC);
  }
  std::fclose(full);
}

TEST(ConsoleSink, ColoursByKind) {
  struct Case {
    int kind;
    const char* expected;
  } cases[] = {
      {Plain, "x"},
      {Info, "\x1b[32mx\x1b[0m"},
      {Error, "\x1b[31mx\x1b[0m"},
      {Detail, "\x1b[90mx\x1b[0m"},
      {MailLink, "\x1b[4mx\x1b[0m"},
      {Highlight, "\x1b[34mx\x1b[0m"},
      {42, "x"},  // unknown kinds are plain, like black text in the pane
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Render(true, static_cast<TextKind>(c.kind), "x"), c.expected) << c.kind;
    EXPECT_EQ(Render(false, static_cast<TextKind>(c.kind), "x"), "x") << c.kind;
  }
}

// The recent list is written beside the lookup; when the sink is done, it
// holds every query the lookup recorded, the last on top.
TEST(ConsoleSink, RecordsTheQueriesBeforeItIsDone) {
  const std::string path = FreshPath("console-recent");
  WriteFile(path, "[Recent]\r\nREC0=old.example\r\n");
  {
    std::FILE* f = std::tmpfile();
    ConsoleSink sink(f, false, "", path);
    sink.ShareRecentQuery("first.example");
    sink.AppendOutput(Plain, "reply\n");
    sink.ShareRecentQuery("second.example");
    EXPECT_TRUE(sink.Finish());
    EXPECT_EQ(LoadRecentQueryList(path.c_str()),
              (std::vector<std::string>{"second.example", "first.example", "old.example"}));
    std::fclose(f);
  }
  std::remove(path.c_str());
}

TEST(ConsoleSink, QueryTextIsCutToTheCapacity) {
  ConsoleSink sink(stdout, false, "example.com");
  char buffer[8];
  EXPECT_EQ(sink.ReadQueryText(buffer, sizeof buffer), 7);
  EXPECT_STREQ(buffer, "example");
  EXPECT_EQ(sink.ReadQueryText(buffer, 1), 0);
  EXPECT_STREQ(buffer, "");
}

}  // namespace
