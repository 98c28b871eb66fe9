// The whois exchange: request forms, e-mail links, referral scan, and whole
// exchanges against scripted servers.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "engine/classify.h"
#include "engine/directory.h"
#include "engine/referral_scan.h"
#include "engine/whois_exchange.h"
#include "tests/support/loopback_server.h"
#include "tests/support/recording_sink.h"

namespace {

TEST(BuildWhoisRequest, FormsByServer) {
  const std::string comNet = ComNetServer;
  const std::string jp = JpServer;
  struct Case {
    std::string server;
    const char* query;
    const char* request;
  } cases[] = {
      {comNet, "example.com", "domain = example.com"},
      {jp, "example.jp", "example.jp/e"},
      {"whois.pir.org", "example.org", "example.org"},
      {"WHOIS.VERISIGN-GRS.COM", "example.com", "example.com"},  // exact text only
      {comNet + ":43", "example.com", "example.com"},
      {jp + ":43", "example.jp", "example.jp"},
      {"whois.arin.net", "1.2.3.4", "1.2.3.4"},
  };
  for (const Case& c : cases) {
    char buffer[ExchangeBufferSize];
    BuildWhoisRequest(c.server.c_str(), c.query, buffer, sizeof buffer);
    EXPECT_STREQ(buffer, c.request) << c.server;
  }
}

TEST(ScanForReferral, Table) {
  struct Case {
    const char* chunk;
    const char* before;  // the referral field before the scan
    const char* after;
  } cases[] = {
      {"Registrar WHOIS Server: whois.markmonitor.com\r\n", "", "whois.markmonitor.com"},
      {"ReferralServer: whois://whois.ripe.net\n", "", "whois.ripe.net"},
      {"ReferralServer: whois://whois.apnic.net:4343\n", "", "whois.apnic.net:4343"},
      {"ReferralServer:  WHOIS://Whois.Lacnic.Net", "", "whois.lacnic.net"},  // lower-cased, to the end
      {"see whois server below, whois.x.example\n", "", "whois.x.example"},   // the first fitting one wins
      {"whois.first.example at the start\n", "", ""},                         // needs a space before
      {" whoisx.example\n", "", ""},
      {" whois:/not-a-scheme\n", "", ""},
      {"nothing here\n", "whois.earlier.example", "whois.earlier.example"},  // an earlier chunk's stays
      {" whois.a.example whois.b.example", "", "whois.a.example"},
      {" whois.tab\there", "", "whois.tab\there"},  // only CR, LF and space end it
      {" whois.", "", "whois."},
  };
  for (const Case& c : cases) {
    std::string chunk = c.chunk;
    char referral[HostCapacity];
    std::snprintf(referral, sizeof referral, "%s", c.before);
    ScanForReferral(&chunk[0], static_cast<int>(chunk.size()), referral);
    EXPECT_STREQ(referral, c.after) << c.chunk;
  }
}

// The scan passes over long stretches many bytes at a time: a referral is
// found at every place of a long text, among spaces and "w"s too; pairs of
// a space and "w" that begin no referral are passed over.
TEST(ScanForReferral, AtEveryPlaceOfALongText) {
  for (size_t at = 0; at < 150; ++at) {
    for (char filler : {'x', ' ', 'w'}) {
      std::string chunk(at, filler);
      chunk += " Whois.Far.Example\n" + std::string(70, 'y');
      char referral[HostCapacity] = "";
      ScanForReferral(&chunk[0], static_cast<int>(chunk.size()), referral);
      EXPECT_STREQ(referral, "whois.far.example") << at << filler;
    }
  }
  std::string pairs;
  for (int i = 0; i < 40; ++i) pairs += " w w.whoi ";
  char referral[HostCapacity] = "";
  ScanForReferral(&pairs[0], static_cast<int>(pairs.size()), referral);
  EXPECT_STREQ(referral, "");
}

TEST(ScanForReferral, StopsAtZeroByteAndCutsOverlongNames) {
  std::string chunk("x\0 whois.hidden.example\n", 24);
  char referral[HostCapacity] = "";
  ScanForReferral(&chunk[0], static_cast<int>(chunk.size()), referral);
  EXPECT_STREQ(referral, "");

  std::string overlong = " whois." + std::string(500, 'q') + "\n";
  ScanForReferral(&overlong[0], static_cast<int>(overlong.size()), referral);
  EXPECT_EQ(std::strlen(referral), static_cast<size_t>(HostCapacity - 1));
}

// Chunks of one reply in order, from the server `asked`.
TEST(ReferralScan, AcrossChunksAndNeverBackToTheServerAsked) {
  struct Case {
    const char* asked;
    std::vector<std::string> chunks;
    const char* before;
    const char* after;
  } cases[] = {
      // A name that a chunk's end cuts is completed from the next chunk ...
      {"", {"Whois Server: whois.regis", "trar.test\r\n"}, "", "whois.registrar.test"},
      {"", {"Whois Server: WHO", "IS.Registrar.Test\r\n"}, "", "whois.registrar.test"},
      {"", {"ReferralServer: whois:/", "/whois.ripe.net\n"}, "", "whois.ripe.net"},
      {"", {"Whois Server:", " whois.a.example\n"}, "", "whois.a.example"},
      {"", {"Whois Server: ", "whois.a.example\n"}, "", "whois.a.example"},
      {"", {" whois.a", ".b", ".c", "\n"}, "", "whois.a.b.c"},
      {"", {" whois.a", std::string("bc\0 whois.hidden\n", 17)}, "", "whois.abc"},
      {"", {" whois.cut.exam"}, "", "whois.cut.exam"},  // the reply ends in it
      {"", {" who", "m it may concern\n"}, "old", "old"},
      // ... as part of the chunk it began in: the first of a chunk wins, the
      // next chunk's own name wins over it.
      {"", {" whois.first.example\n whois.second.exa", "mple\n"}, "", "whois.first.example"},
      {"", {" whois.a.exa", "mple\n whois.b.example\n"}, "", "whois.b.example"},
      // The server just asked (host and port, any case) is never the referral.
      {"whois.jprs.jp", {"use 'whois -h whois.jprs.jp help'\r\n"}, "", ""},
      {"whois.jprs.jp:43", {" WHOIS.JPRS.JP\n"}, "", ""},
      {"whois.jprs.jp", {" whois.jprs.jp\n whois.other.jp\n"}, "", "whois.other.jp"},
      {"whois.jprs.jp", {" whois.jprs", ".jp\n"}, "earlier", "earlier"},
      {"whois.jprs.jp", {" whois.jprs.jp:4343\n"}, "", "whois.jprs.jp:4343"},
      {"whois.jprs.jp", {" whois.jprs.jp.example\n"}, "", "whois.jprs.jp.example"},
  };
  for (const Case& c : cases) {
    char referral[HostCapacity];
    std::snprintf(referral, sizeof referral, "%s", c.before);
    ReferralScan scan(c.asked, referral);
    for (const std::string& chunk : c.chunks) scan.Scan(chunk.data(), static_cast<int>(chunk.size()));
    EXPECT_STREQ(referral, c.after) << testing::PrintToString(c.chunks);
  }
}

TEST(EmitReplyChunk, Pieces) {
  using P = RecordingSink::Piece;
  struct Case {
    const char* text;
    std::vector<P> pieces;
  } cases[] = {
      {"nodelimiter", {{Plain, "nodelimiter"}}},
      {"two words", {{Plain, "two "}, {Plain, "words"}}},
      {"Email: abuse@example.com\r\nNext line",
       {{Plain, "Email: "}, {MailLink, "mailto:abuse@example.com\r\n"}, {Plain, "Next "}, {Plain, "line"}}},
      {"a@b", {{MailLink, "mailto:a@b"}}},
      {"x <a@b>, y", {{Plain, "x "}, {MailLink, "mailto:<a@b>,"}, {Plain, " "}, {Plain, "y"}}},
      {"a@b \nz", {{MailLink, "mailto:a@b"}, {Plain, " \n"}, {Plain, "z"}}},  // a space stops the run
      {"m: a@b\n\n\r\nend", {{Plain, "m: "}, {MailLink, "mailto:a@b\n\n\r\n"}, {Plain, "end"}}},
      {"@", {{MailLink, "mailto:@"}}},
      {"trailing \n", {{Plain, "trailing \n"}}},
      {"", {}},
      // Long words are looked at eight bytes at a time; a control character
      // other than a blank belongs to the word.
      {"Registrant Contact Email: first.last-name@registrar-example.com\r\nNext",
       {{Plain, "Registrant Contact Email: "},
        {MailLink, "mailto:first.last-name@registrar-example.com\r\n"},
        {Plain, "Next"}}},
      {"abcdefgh\x01ijklmnopq@rstuvwxyz0123\x02"
       "456789 tail",
       {{MailLink,
         "mailto:abcdefgh\x01ijklmnopq@rstuvwxyz0123\x02"
         "456789"},
        {Plain, " "},
        {Plain, "tail"}}},
      {"0123456789\t0123456789 ab@cd\x7f\x85\xc3\xa9xxxxxxxxxxx\tz",
       {{Plain, "0123456789\t0123456789 "},
        {MailLink, "mailto:ab@cd\x7f\x85\xc3\xa9xxxxxxxxxxx"},
        {Plain, "\t"},
        {Plain, "z"}}},
      {"12345678 12345678 last-word-longer-than-eight",
       {{Plain, "12345678 12345678 "}, {Plain, "last-word-longer-than-eight"}}},
  };
  for (const Case& c : cases) {
    RecordingSink sink;
    SinkScope scope(&sink);
    EmitReplyChunk(c.text);
    const auto got = sink.Pieces();
    ASSERT_EQ(got.size(), c.pieces.size()) << c.text << " -> " << sink.Text();
    for (size_t i = 0; i < got.size(); ++i) {
      EXPECT_EQ(got[i].Kind, c.pieces[i].Kind) << c.text << " piece " << i;
      EXPECT_EQ(got[i].Text, c.pieces[i].Text) << c.text << " piece " << i;
    }
  }
}

struct ExchangeTest : testing::Test {
  RecordingSink sink;
  SinkScope scope{&sink};
  char referral[HostCapacity] = "stale";
};

TEST_F(ExchangeTest, StreamsTheReplyAndFindsTheReferral) {
  LoopbackServer server({[](LoopbackConnection& c) {
    c.ReadUntil("\r\n");
    c.Send("Domain Name: EXAMPLE.COM\r\nRegistrar WHOIS Server: Whois.Registrar.Example\r\n");
    c.Pause(50);
    c.Send("Registrar Abuse Contact Email: Abuse@Registrar.Example\r\n");
  }});
  EXPECT_TRUE(RunWhoisExchange(true, server.ServerText().c_str(), "example.com", referral));
  EXPECT_STREQ(referral, "whois.registrar.example");
  const std::string text = sink.Text();
  // The output keeps the server's letter case; only the referral is lower-cased.
  EXPECT_NE(text.find("Registrar WHOIS Server: Whois.Registrar.Example\r\n"), std::string::npos);
  EXPECT_EQ(sink.TextOf(MailLink), "mailto:Abuse@Registrar.Example\r\n");
  EXPECT_EQ(sink.Pieces().front().Text, "\nSending request for domain: example.com...\n");
  EXPECT_EQ(sink.Pieces().front().Kind, Info);
  EXPECT_EQ(sink.Status().back().second, "Waiting for reply...");
  ASSERT_TRUE(server.WaitDone());
  EXPECT_EQ(server.Received()[0], "example.com\r\n");
}

TEST_F(ExchangeTest, ReferralIsOnlyTakenWhenFollowing) {
  LoopbackServer server({ReplyWith(" whois.other.example\n")});
  EXPECT_TRUE(RunWhoisExchange(false, server.ServerText().c_str(), "q", referral));
  EXPECT_STREQ(referral, "stale");
}

TEST_F(ExchangeTest, LastChunkWithAReferralWins) {
  LoopbackServer server({[](LoopbackConnection& c) {
    c.ReadUntil("\r\n");
    c.Send(" whois.first.example\n");
    c.Pause(100);
    c.Send(" whois.second.example\n");
    c.Pause(100);
    c.Send("no referral here\n");
  }});
  EXPECT_TRUE(RunWhoisExchange(true, server.ServerText().c_str(), "q", referral));
  EXPECT_STREQ(referral, "whois.second.example");
}

// The display stays chunk by chunk; only the referral is completed.
TEST_F(ExchangeTest, ReferralCutBetweenReceivesIsTakenWhole) {
  LoopbackServer server({[](LoopbackConnection& c) {
    c.ReadUntil("\r\n");
    c.Send("Registrar WHOIS Server: whois.regis");
    c.Pause(100);
    c.Send("trar.test\r\n");
  }});
  EXPECT_TRUE(RunWhoisExchange(true, server.ServerText().c_str(), "q", referral));
  EXPECT_STREQ(referral, "whois.registrar.test");
  EXPECT_EQ(sink.TextOf(Plain), "Registrar WHOIS Server: whois.registrar.test\r\n");
}

TEST_F(ExchangeTest, BytesAfterAZeroByteAreNotShown) {
  LoopbackServer server({ReplyWith(std::string("shown\0hidden", 12))});
  EXPECT_TRUE(RunWhoisExchange(true, server.ServerText().c_str(), "q", referral));
  const std::string text = sink.Text();
  EXPECT_NE(text.find("shown"), std::string::npos);
  EXPECT_EQ(text.find("hidden"), std::string::npos);
}

TEST_F(ExchangeTest, FailedConnectionReturnsFalseAndKeepsTheReferralEmpty) {
  std::uint16_t port;
  {
    LoopbackServer gone({});
    port = gone.Port();
  }
  const std::string text = "127.0.0.1:" + std::to_string(port);
  EXPECT_FALSE(RunWhoisExchange(true, text.c_str(), "q", referral));
  EXPECT_STREQ(referral, "");
  EXPECT_EQ(sink.TextOf(Error), "Cannot connect socket\n");
}

TEST_F(ExchangeTest, ResetMidReplyStillCountsAsSent) {
  LoopbackServer server({ResetAfter("part of a reply with whois.partial.example\n")});
  EXPECT_TRUE(RunWhoisExchange(true, server.ServerText().c_str(), "q", referral));
  EXPECT_STREQ(referral, "whois.partial.example");
}

}  // namespace
