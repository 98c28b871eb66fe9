// The console front end's own rules: proxy URLs and the console sink.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "cli/console_sink.h"
#include "cli/proxy_url.h"
#include "settings/settings.h"

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
  const std::vector<std::string> urls = {"proxy.example:8080", "gopher://p", "http://", "http://:80", "http://p:0",
                                "http://p:65536", "http://p:80x", "http://p:", "http://p/path",
                                "socks5://u:%zz@p", "socks5://u:%0@p", "socks5://u:%00@p",
                                std::string("http://") + longHost, "http://" + longHost + "@p"};
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
    sink.AppendOutput(kind, text);
  }
  return ReadAll(f);
}

// Pieces appended one after the other, as the pane's text.
std::string RenderPieces(const std::vector<std::string>& pieces, bool crlf) {
  std::FILE* f = std::tmpfile();
  {
    ConsoleSink sink(f, false, "");
    sink.SetCrLfLineEnds(crlf);
    for (const std::string& piece : pieces) sink.AppendOutput(Plain, piece.c_str());
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
      {{"x\r"}, "x?", "x?"},                            // a CR at the very end
      {{"line\r", "\nnext"}, "line\r\nnext", "line\r\nnext"},  // CR LF cut by a chunk boundary
      {{"line\r", "next"}, "line?next", "line?next"},
      {{"a\r\r\n"}, "a?\r\n", "a?\r\n"},
      {{"\x9d" "2;TITLE\x9c"}, "?2;TITLE?", "?2;TITLE?"},  // raw C1: OSC ... ST
      {{"\x1b]0;t\x07\x7f\x01"}, "?]0;t???", "?]0;t???"},
      {{"\xc2\x9b" "31m \xc2\x80"}, "?31m ?", "?31m ?"},  // U+009B, U+0080 in UTF-8
      {{"\xc2", "\x85"}, "?", "?"},
      {{"\xc2\xa9 caf\xc3\xa9 \xc2"}, "\xc2\xa9 caf\xc3\xa9 \xc2", "\xc2\xa9 caf\xc3\xa9 \xc2"},
      {{"\xa0\xff\x7e"}, "\xa0\xff\x7e", "\xa0\xff\x7e"},
      {{"0123456789abcdef0123\n456789\x85"}, "0123456789abcdef0123\n456789?",
       "0123456789abcdef0123\r\n456789?"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(RenderPieces(c.pieces, false), c.posix) << c.pieces[0];
    EXPECT_EQ(RenderPieces(c.pieces, true), c.windows) << c.pieces[0];
  }
}

// Both ways of finding the next byte to rewrite agree with the rule, for
// every byte value at every place of a block and of the padded rest.
TEST(ConsoleSink, FindConsoleByteMatchesTheRule) {
  for (bool crlf : {false, true}) {
    auto stops = [crlf](unsigned char c) {
      return ((c & 0x7F) < 0x20 && c != '\t' && (crlf || c != '\n')) || c == 0x7F || c == 0xC2;
    };
    // Lines of letters, ending in LF every ninth byte.
    for (bool lines : {false, true}) {
      for (int value = 0; value < 256; ++value) {
        for (size_t length : {1u, 7u, 8u, 9u, 15u, 16u, 17u, 23u, 31u, 40u, 64u, 65u, 100u, 130u}) {
          for (size_t at = 0; at < length; ++at) {
            std::string text(length, 'a');
            if (lines)
              for (size_t i = 8; i < length; i += 9) text[i] = '\n';
            text[at] = static_cast<char>(value);
            size_t first = 0;
            while (first < length && !stops(static_cast<unsigned char>(text[first]))) ++first;
            const char* expected = text.data() + first;
            const char* end = text.data() + length;
            ASSERT_EQ(FindConsoleByte(text.data(), end, crlf), expected) << value << " at " << at << " " << lines;
            ASSERT_EQ(FindConsoleByteWordwise(text.data(), end, crlf), expected) << value << " at " << at;
          }
        }
      }
    }
  }
}

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
          sink.SetCrLfLineEnds(crlf);
          if (quiet) sink.SetQuiet(err, true);
          for (const Piece& p : pieces) {
            if (way == 0)
              sink.AppendOutput(p.kind, (p.prefix + p.text).c_str());
            else
              sink.AppendPiece(p.kind, p.prefix.data(), p.prefix.size(), p.text.data(), p.text.size());
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

TEST(ConsoleSink, QueryTextIsCutToTheCapacity) {
  ConsoleSink sink(stdout, false, "example.com");
  char buffer[8];
  EXPECT_EQ(sink.ReadQueryText(buffer, sizeof buffer), 7);
  EXPECT_STREQ(buffer, "example");
  EXPECT_EQ(sink.ReadQueryText(buffer, 1), 0);
  EXPECT_STREQ(buffer, "");
}

}  // namespace
