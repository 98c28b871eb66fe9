// Port-43 replies that turn the user away, and replies that only look alike.
#include <gtest/gtest.h>

#include <string>

#include "engine/refusal_notice.h"

namespace {

// Six lines of a registry's banner, to push a notice past the lines read.
const std::string Banner =
    "% Registry whois server\r\n% Terms of use apply\r\n%\r\n"
    "Domain Name: EXAMPLE.TEST\r\nRegistrar: Example Registrar\r\nName Server: NS1.EXAMPLE.TEST\r\n"
    "Name Server: NS2.EXAMPLE.TEST\r\n";

TEST(RefusalNotice, Table) {
  struct Case {
    std::string reply;
    bool turnsAway;
  } cases[] = {
      // Empty: a registry that accepts the connection and closes it.
      {"", true},
      {"\r\n \r\n", true},
      // Identity Digital's whole answer for .info, .mobi and .global once it
      // closed their port 43 (2026).
      {"TLD is not supported.\r\n", true},
      {"TLD is not supported.", true},
      {"% whois.nic.example\r\n\r\ntld IS NOT   supported\r\n", true},
      // The other wordings of the table, one each of its kinds.
      {"% The WHOIS service on port 43 has been discontinued.\n% Use https://rdap.nic.example/\n", true},
      {"This whois server has been shut down on 1 March 2026.\n", true},
      {"The .example whois service is closed. Registration data: https://rdap.example/\n", true},
      {"WHOIS for .example has moved to RDAP: https://rdap.nic.example/\n", true},
      {"Port 43 WHOIS has been replaced by RDAP.\n", true},
      // The closure notice under a banner of five lines is read; under six it is not.
      {Banner.substr(0, Banner.rfind("Name Server: NS2")) + "TLD is not supported.\r\n", true},
      {Banner + "TLD is not supported.\r\n", false},
      // Verisign's replies of 2026 end in a notice of a retirement to come,
      // under the record (and under the terms when the rate limit is reached).
      {"   Domain Name: NETWORKWALKS.COM\r\n   Registry Domain ID: 2451234567_DOMAIN_COM-VRSN\r\n"
       "   Registrar WHOIS Server: whois.godaddy.com\r\n   Registrar: GoDaddy.com, LLC\r\n"
       "   Name Server: NS6135.HOSTGATOR.COM\r\n   DNSSEC: unsigned\r\n"
       ">>> Last update of whois database: 2026-06-01T10:00:00Z <<<\r\n\r\n"
       "**NOTICE** This WHOIS server is being retired. Please use our RDAP service instead.\r\n",
       false},
      {"The Registry database contains ONLY .COM, .NET, .EDU domains and\r\nRegistrars.\r\n"
       "This WHOIS server is being retired. Please use our RDAP service instead. Rate limit exceeded.\r\n",
       false},
      // SWITCH refusing one client, not closing the service.
      {"Requests of this client are not permitted. Please use https://www.nic.ch/whois/ for queries.\n", false},
      // DENIC's short answer, and a line of separators before a record.
      {"Domain: example.de\nStatus: connect\n", false},
      {"%%%%%%%%%%\n-----\nDomain Name: EXAMPLE.TEST\n", false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(TurnsAway(c.reply.data(), c.reply.size()), c.turnsAway) << c.reply.substr(0, 60);
  // Only `length` bytes are read; a reply need not end in a NUL.
  const char cut[] = "Domain: example.de\nTLD is not supported";
  EXPECT_FALSE(TurnsAway(cut, 19));
  EXPECT_TRUE(TurnsAway(cut, sizeof cut - 1));
  EXPECT_TRUE(TurnsAway(nullptr, 0));
}

}  // namespace

// Rate-limit notices of real registries and registrars, and answers that
// only mention limits.
TEST(RateLimitNotice, Table) {
  const std::string terms(2100, '%');  // a long reply: an answer whatever its head says
  struct Case {
    std::string reply;
    bool notice;
  } cases[] = {
      {"WHOIS LIMIT EXCEEDED - SEE WWW.PIR.ORG/WHOIS FOR DETAILS\r\n", true},
      {"Rate limit exceeded. Try again after: 24h0m0s\n", true},
      {"% Maximum query rate reached\n", true},
      {"% Error: 55000000002 Connection refused; access control limit reached.\n", true},
      {"Your connection limit exceeded. Please slow down and try again later.\r\n", true},
      {"The Registry database contains ONLY .COM, .NET, .EDU domains and\r\nRegistrars.\r\n"
       "This WHOIS server is being retired. Please use our RDAP service instead. Rate limit exceeded.\r\n",
       true},
      {"%ERROR:201: access denied for 192.0.2.1\n%\n% Sorry, access from your host has been permanently\n"
       "% denied because of a repeated excessive querying.\n",
       true},
      {"Too many queries,  TRY AGAIN LATER\n", true},
      // Answers.
      {"Domain: example.de\nStatus: connect\n", false},
      {"No match for \"EXAMPLE.TEST\".\r\n>>> Last update of whois database: 2026-06-01T10:00:00Z <<<\r\n", false},
      {"Rate limit exceeded.\n" + terms, false},
      {"% Registry whois server\n% Terms of use apply\n%\nDomain Name: EXAMPLE.TEST\nRegistrar: Example\n"
       "Name Server: NS1.EXAMPLE.TEST\nName Server: NS2.EXAMPLE.TEST\n% Queries are rate limited.\n",
       false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(IsRateLimitNotice(c.reply.data(), c.reply.size()), c.notice) << c.reply.substr(0, 60);
}
