#include "engine/lookup_record.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>

#include "engine/field_table.h"
#include "tests/support/temp_files.h"

using nlohmann::json;

namespace {

std::string Source(const std::string& path) { return ReadFile(std::string(MERROWGATE_SOURCE_DIR) + "/" + path); }

struct Step {
  const char* server;
  const char* protocol;
  const char* file;  // under tests/data/
};

RecordBuilder Replay(const char* kind, std::initializer_list<Step> steps) {
  RecordBuilder builder;
  builder.SetQuery("q", kind);
  for (const Step& step : steps) {
    const std::string body = Source(std::string("tests/data/") + step.file);
    builder.StepStarted(step.server, step.protocol, "q");
    builder.StepData(body.data(), body.size());
    builder.StepEnded(true, nullptr);
  }
  return builder;
}

// The key list of docs/json-record.md: "path type" lines of its schema block.
std::map<std::string, std::string> DocumentedKeys() {
  std::map<std::string, std::string> keys;
  std::istringstream doc(Source("docs/json-record.md"));
  std::string line;
  bool inBlock = false;
  while (std::getline(doc, line)) {
    if (line == "```schema") inBlock = true;
    else if (line == "```") inBlock = false;
    else if (inBlock) {
      std::istringstream fields(line);
      std::string path, type;
      if (fields >> path >> type) keys[path] = type;
    }
  }
  return keys;
}

std::string TypeName(const json& value) {
  if (value.is_object()) return "object";
  if (value.is_array()) return "array";
  if (value.is_string()) return "string";
  if (value.is_boolean()) return "boolean";
  if (value.is_number_integer()) return "integer";
  return "other";
}

// Every key of `record` is documented with its type; an RDAP answer is kept as it came.
void ExpectDocumented(const json& value, const std::string& path, const std::map<std::string, std::string>& keys) {
  if (!path.empty()) {
    const auto it = keys.find(path);
    ASSERT_NE(it, keys.end()) << "undocumented: " << path;
    EXPECT_EQ(it->second, TypeName(value)) << path;
    if (path == "steps[].rdap") return;
  }
  if (value.is_object())
    for (const auto& [key, member] : value.items())
      ExpectDocumented(member, path.empty() ? key : path + "." + key, keys);
  if (value.is_array())
    for (const json& item : value) ExpectDocumented(item, path + "[]", keys);
}

}  // namespace

// Recorded replies of registries and registrars: the fields each one gives,
// and fields that must stay absent (redacted, of a contact, of the IANA reply).
TEST(LookupRecord, RecordedAnswers) {
  struct Case {
    const char* name;
    RecordBuilder builder;
    json expected;                    // these members, exactly
    std::vector<const char*> absent;  // and none of these
  };
  const json googleNs = {"ns1.google.com", "ns2.google.com", "ns3.google.com", "ns4.google.com"};
  const Case cases[] = {
      {"com registry and registrar",
       Replay("domain", {{"whois.verisign-grs.com", "whois", "whois/com-registry.txt"},
                         {"whois.markmonitor.com", "whois", "whois/com-registrar.txt"}}),
       {{"source", "whois"},
        {"registrar",
         {{"name", "MarkMonitor Inc."},
          {"iana_id", 292},
          {"url", "http://www.markmonitor.com"},
          {"whois_server", "whois.markmonitor.com"}}},
        {"created", "1997-09-15T04:00:00Z"},
        {"updated", "2019-09-09T15:39:04Z"},
        {"expires", "2028-09-14T04:00:00Z"},
        {"status",
         {"clientDeleteProhibited", "clientTransferProhibited", "clientUpdateProhibited", "serverDeleteProhibited",
          "serverTransferProhibited", "serverUpdateProhibited"}},
        {"nameservers", googleNs},
        {"dnssec", false},
        {"abuse", {{"email", "abusecomplaints@markmonitor.com"}, {"phone", "+1.2083895740"}}},
        {"registrant", {{"organization", "Google LLC"}, {"country", "US"}}}},
       {"network", "asn"}},
      {"com registrar alone: its expiration date, in UTC",
       Replay("domain", {{"whois.markmonitor.com", "whois", "whois/com-registrar.txt"}}),
       {{"expires", "2028-09-13T07:00:00Z"}, {"created", "1997-09-15T07:00:00Z"}},
       {}},
      {"org",
       Replay("domain", {{"whois.publicinterestregistry.org", "whois", "whois/org-registry.txt"}}),
       {{"expires", "2029-04-12T04:00:00Z"},
        {"registrant", {{"organization", "The Apache Software Foundation"}, {"country", "US"}}},
        {"status", {"clientDeleteProhibited", "clientTransferProhibited"}}},
       {}},
      {"uk",
       Replay("domain", {{"whois.nic.uk", "whois", "whois/uk.txt"}}),
       {{"registrar", {{"name", "Markmonitor Inc. t/a MarkMonitor Inc."}, {"url", "http://www.markmonitor.com"}}},
        {"created", "2014-06-11T00:00:00Z"},
        {"expires", "2020-06-11T00:00:00Z"},
        {"updated", "2019-05-10T00:00:00Z"},
        {"nameservers",
         {"ns1.googledomains.com", "ns2.googledomains.com", "ns3.googledomains.com", "ns4.googledomains.com"}}},
       {"status", "dnssec", "registrant"}},
      {"de: no status that is not EPP",
       Replay("domain", {{"whois.denic.de", "whois", "whois/de.txt"}}),
       {{"nameservers", googleNs}, {"updated", "2018-03-12T20:44:25Z"}},
       {"status", "registrar", "created", "expires"}},
      {"jp",
       Replay("domain", {{"whois.jprs.jp", "whois", "whois/jp.txt"}}),
       {{"created", "2005-05-30T00:00:00Z"},
        {"expires", "2020-05-31T00:00:00Z"},
        {"updated", "2019-05-31T19:52:02Z"},
        {"status", {"active"}},
        {"nameservers", googleNs}},
       {"dnssec", "registrant"}},
      {"fr: contact objects do not leak",
       Replay("domain", {{"whois.nic.fr", "whois", "whois/fr.txt"}}),
       {{"registrar", {{"name", "MARKMONITOR Inc."}, {"url", "http://www.markmonitor.com"}}},
        {"created", "2000-07-26T22:00:00Z"},
        {"updated", "2019-11-28T10:33:06Z"},
        {"expires", "2020-12-30T17:16:48Z"},
        {"status", {"active"}},
        {"nameservers", googleNs}},
       {"registrant", "network"}},
      {"eu: not disclosed",
       Replay("domain", {{"whois.eu", "whois", "whois/eu.txt"}}),
       {{"registrar", {{"name", "MarkMonitor Inc."}, {"url", "https://www.markmonitor.com/"}}},
        {"nameservers", googleNs}},
       {"registrant", "status"}},
      {"nl",
       Replay("domain", {{"whois.domain-registry.nl", "whois", "whois/nl.txt"}}),
       {{"registrar", {{"name", "MarkMonitor Inc."}}},
        {"status", {"active"}},
        {"dnssec", false},
        {"nameservers", googleNs}},
       {"abuse"}},
      {"br",
       Replay("domain", {{"whois.registro.br", "whois", "whois/br.txt"}}),
       {{"created", "1996-12-06T00:00:00Z"}, {"updated", "2015-04-27T00:00:00Z"}},
       {"status", "expires", "registrant"}},
      {"ru",
       Replay("domain", {{"whois.tcinet.ru", "whois", "whois/ru.txt"}}),
       {{"registrar", {{"name", "RU-CENTER-RU"}}},
        {"registrant", {{"organization", "Google LLC"}}},
        {"created", "2004-03-03T21:00:00Z"},
        {"expires", "2021-03-04T21:00:00Z"},
        {"nameservers", googleNs}},
       {"status"}},
      {"it",
       Replay("domain", {{"whois.nic.it", "whois", "whois/it.txt"}}),
       {{"registrar", {{"name", "MarkMonitor International Limited"}, {"url", "https://www.markmonitor.com/"}}},
        {"registrant", {{"organization", "Google Ireland Holdings Unlimited Company"}}},
        {"created", "1999-12-10T00:00:00Z"},
        {"updated", "2019-05-07T01:04:50Z"},
        {"expires", "2020-04-21T00:00:00Z"},
        {"status", {"ok"}},
        {"dnssec", false},
        {"nameservers", googleNs}},
       {}},
      {"pl after the IANA referral",
       Replay("domain", {{"whois.iana.org", "whois", "whois/iana-pl.txt"}, {"whois.dns.pl", "whois", "whois/pl.txt"}}),
       {{"domain", "filharmoniakrakow.pl"},
        {"registrar", {{"name", "home.pl S.A."}}},
        {"created", "2022-01-04T19:11:24Z"},
        {"updated", "2024-12-16T11:57:01Z"},
        {"expires", "2026-01-04T19:11:24Z"},
        {"dnssec", false},
        {"nameservers", {"dns.home.pl", "dns2.home.pl", "dns3.home.pl"}}},
       {"status"}},
      {"au",
       Replay("domain", {{"whois.auda.org.au", "whois", "whois/au.txt"}}),
       {{"registrar", {{"name", "MarkMonitor Corporate Services Inc"}, {"whois_server", "whois.auda.org.au"}}},
        {"updated", "2019-04-17T19:49:19Z"},
        {"status",
         {"clientDeleteProhibited", "clientUpdateProhibited", "serverDeleteProhibited", "serverRenewProhibited",
          "serverUpdateProhibited"}}},
       {"abuse", "registrant"}},
      {"cn",
       Replay("domain", {{"whois.cnnic.cn", "whois", "whois/cn.txt"}}),
       {{"registrar", {{"name", "厦门易名科技股份有限公司"}}},
        {"created", "2003-03-17T12:20:05Z"},
        {"expires", "2021-03-17T12:48:36Z"},
        {"dnssec", false}},
       {}},
      {"ARIN network",
       Replay("ip", {{"whois.arin.net", "whois", "whois/arin-net.txt"}}),
       {{"network",
         {{"range", "199.43.0.0 - 199.43.0.255"},
          {"cidr", "199.43.0.0/24"},
          {"name", "ARIN-ASH"},
          {"handle", "NET-199-43-0-0-1"},
          {"country", "US"},
          {"organization", "ARIN Operations"}}},
        {"abuse", {{"email", "abuse@arin.net"}, {"phone", "+1-703-227-0660"}}},
        {"created", "2005-11-09T00:00:00Z"}},
       {"asn", "registrar", "status"}},
      {"RIPE network: org-name over descr",
       Replay("ip", {{"whois.ripe.net", "whois", "whois/ripe-net.txt"}}),
       {{"network",
         {{"range", "91.202.128.0 - 91.202.131.255"},
          {"name", "KUNET"},
          {"country", "UA"},
          {"organization", "Kyiv National Taras Shevchenko University"}}}},
       {"asn", "abuse"}},
      {"RIPE AS number",
       Replay("asn", {{"whois.ripe.net", "whois", "whois/ripe-asn.txt"}}),
       {{"asn", {{"number", 215778}, {"name", "LIKHNER-AS"}}}},
       {"network", "status"}},
      {"RDAP-only TLD",
       Replay("domain", {{"rdap.identitydigital.services", "rdap", "rdap/info-domain.json"}}),
       {{"source", "rdap"},
        {"domain", "example.info"},
        {"registrar", {{"name", "RESERVED-Internet Assigned Numbers Authority"}, {"iana_id", 376}}},
        {"created", "2001-07-31T23:57:50Z"},
        {"updated", "2025-08-02T01:14:22Z"},
        {"expires", "2026-07-31T23:57:50Z"},
        {"status", {"clientTransferProhibited", "serverDeleteProhibited"}},
        {"nameservers", {"a.iana-servers.net", "b.iana-servers.net"}},
        {"dnssec", true},
        {"abuse", {{"email", "abuse@iana.org"}, {"phone", "+1.3103015800"}}},
        {"registrant", {{"organization", "Internet Assigned Numbers Authority"}, {"country", "US"}}}},
       {}},
      {"RDAP registry before registrar",
       Replay("domain", {{"rdap.verisign.com", "rdap", "rdap/com-registry.json"},
                         {"rdap.markmonitor.com", "rdap", "rdap/com-registrar.json"}}),
       {{"domain", "google.com"},
        {"registrar", {{"name", "MarkMonitor Inc."}, {"iana_id", 292}}},
        {"expires", "2028-09-14T04:00:00Z"},
        {"nameservers", googleNs},
        {"abuse", {{"email", "abusecomplaints@markmonitor.com"}, {"phone", "+1.2083895740"}}}},
       {}},
      {"RDAP registrar with redactions",
       Replay("domain", {{"rdap.example", "rdap", "rdap/com-registrar.json"}}),
       {{"registrar", {{"name", "Example Registrar Inc."}, {"iana_id", 1}}},
        {"abuse", {{"email", "abuse@organization.example"}, {"phone", "+1.7035555555"}}},
        {"nameservers", {"ns1.example.com", "ns2.example.com"}}},
       {"registrant"}},
      {"RDAP ARIN network",
       Replay("ip", {{"rdap.arin.net", "rdap", "rdap/network-arin.json"}}),
       {{"network",
         {{"range", "192.198.0.0 - 192.198.3.255"},
          {"cidr", "192.198.0.0/22"},
          {"name", "RADIOLINK-ARIN-1"},
          {"handle", "NET-192-198-0-0-1"},
          {"organization", "Radio Link Internet"}}},
        {"created", "2013-01-31T23:11:17Z"}},
       {"asn"}},
      {"RDAP RIPE network",
       Replay("ip", {{"rdap.db.ripe.net", "rdap", "rdap/network-ripe.json"}}),
       {{"network",
         {{"range", "86.54.11.0 - 86.54.11.255"},
          {"cidr", "86.54.11.0/24"},
          {"name", "CZ-WHALEBONEDNS-20050512"},
          {"handle", "86.54.11.0 - 86.54.11.255"},
          {"country", "DE"},
          {"organization", "Whalebone, s.r.o."}}},
        {"abuse", {{"email", "abuse@whalebone.io"}}}},
       {}},
      {"RDAP AS number, whois reply not mixed in",
       Replay("asn",
              {{"rdap.arin.net", "rdap", "rdap/autnum-arin.json"}, {"whois.ripe.net", "whois", "whois/ripe-asn.txt"}}),
       {{"source", "rdap"},
        {"asn", {{"number", 16509}, {"name", "AMAZON-02"}, {"organization", "Amazon.com, Inc."}}},
        {"abuse", {{"email", "abuse@amazonaws.com"}, {"phone", "+1-206-555-0000"}}}},
       {"network"}},
  };
  const std::map<std::string, std::string> keys = DocumentedKeys();
  ASSERT_FALSE(keys.empty());
  for (const Case& c : cases) {
    const json record = c.builder.Build();
    for (const auto& [key, value] : c.expected.items())
      EXPECT_EQ(record.value(key, json()), value) << c.name << ": " << key;
    for (const char* key : c.absent) EXPECT_FALSE(record.contains(key)) << c.name << ": " << key;
    ExpectDocumented(record, "", keys);
  }
}

TEST(LookupRecord, Dates) {
  const struct {
    const char* text;
    const char* utc;  // nullptr: not a date
  } cases[] = {
      {"2028-09-14T04:00:00Z", "2028-09-14T04:00:00Z"},
      {"2024-11-08T22:11:51.253Z", "2024-11-08T22:11:51Z"},
      {"2020-03-04T00:12:30-0800", "2020-03-04T08:12:30Z"},
      {"2019-12-31T23:30:00-01:00", "2020-01-01T00:30:00Z"},
      {"2000-03-01T00:30:00+01:00", "2000-02-29T23:30:00Z"},
      {"1999-12-10 00:00:00", "1999-12-10T00:00:00Z"},
      {"2020-04-21", "2020-04-21T00:00:00Z"},
      {"2022.01.04 19:11:24", "2022-01-04T19:11:24Z"},
      {"2019/06/01 04:52:02 (JST)", "2019-05-31T19:52:02Z"},
      {"19961206 #24302", "1996-12-06T00:00:00Z"},
      {"11-Jun-2014", "2014-06-11T00:00:00Z"},
      {"08-sep-2000", "2000-09-08T00:00:00Z"},
      {"15.10.1999 10:43:00", "1999-10-15T10:43:00Z"},
      {"2024-02-29", "2024-02-29T00:00:00Z"},
      {"2023-02-29", nullptr},
      {"2100-02-29", nullptr},
      {"2020-13-01", nullptr},
      {"2020-01-01T24:00:00Z", nullptr},
      {"2020-01-01T00:00:00+25:00", nullptr},
      {"2020-01-01 12:00 PST", nullptr},
      {"1900-01-01T00:30:00+01:00", nullptr},
      {"before Aug-1996", nullptr},
      {"20240101123", nullptr},
      {"", nullptr},
  };
  for (const auto& c : cases) {
    const std::optional<std::string> utc = NormaliseDate(c.text);
    if (c.utc) EXPECT_EQ(utc.value_or("(none)"), c.utc) << c.text;
    else EXPECT_FALSE(utc) << c.text << " -> " << *utc;
  }
}

TEST(LookupRecord, DaysUntil) {
  const std::time_t dec9 = 1796774400;  // 2026-12-09T00:00:00Z
  const struct {
    const char* date;
    std::time_t now;
    std::optional<std::int64_t> days;
  } cases[] = {
      {"2027-01-02T00:00:00Z", dec9, 24},      {"2027-01-02T00:00:00Z", dec9 + 43200, 23},
      {"2027-01-02T00:00:00+01:00", dec9, 23}, {"2026-12-09T00:00:00Z", dec9, 0},
      {"2026-12-08T23:00:00Z", dec9, -1},      {"2027-01-02", dec9, std::nullopt},
      {"next year", dec9, std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(DaysUntil(c.date, c.now), c.days) << c.date;
}

// Status values as whois and RDAP write them; withheld values count as absent.
TEST(LookupRecord, StatusAndRedaction) {
  const struct {
    const char* text;
    const char* code;
  } statuses[] = {
      {"client transfer prohibited", "clientTransferProhibited"},
      {"clientTransferProhibited https://icann.org/epp#clientTransferProhibited", "clientTransferProhibited"},
      {"serverHold (https://www.icann.org/epp#serverHold)", "serverHold"},
      {"CLIENTDELETEPROHIBITED", "clientDeleteProhibited"},
      {"auto renew period", "autoRenewPeriod"},
      {"OK", "ok"},
      {"connect", ""},
      {"Registered until expiry date.", ""},
  };
  for (const auto& s : statuses) EXPECT_EQ(StatusCode(s.text), s.code) << s.text;

  RecordBuilder builder;
  const std::string reply =
      "Domain Name: EXAMPLE.ORG\nRegistrant Organization: REDACTED FOR PRIVACY\nRegistrant Country: Redacted\n"
      "Registrar Abuse Contact Email: DATA REDACTED\nRegistrar Abuse Contact Phone: Not Disclosed\n"
      "Registrar: Data Protected\nCreation Date: 2001-01-01T00:00:00Z\n";
  builder.StepStarted("whois.example", "whois", "example.org");
  builder.StepData(reply.data(), reply.size());
  builder.StepEnded(true, nullptr);
  const json record = builder.Build();
  EXPECT_EQ(record.value("created", ""), "2001-01-01T00:00:00Z");
  for (const char* key : {"registrant", "abuse", "registrar"}) EXPECT_FALSE(record.contains(key)) << key;
}

// Failed steps keep their error and give no fields; an over-long reply is cut
// with an error; the line is one line of valid UTF-8.
TEST(LookupRecord, StepsAndLine) {
  RecordBuilder builder;
  builder.SetQuery("example.com", "domain");
  builder.SetDomain("xn--bcher-kva.example", "bücher.example");
  const std::string partial = "Domain Name: EXAMPLE.COM\nRegistry Expiry Date: 2030-01-01T00:00:00Z\n";
  builder.StepStarted("whois.example", "whois", "example.com");
  builder.StepData(partial.data(), partial.size());
  builder.StepEnded(false, "Connection closed");
  builder.StepStarted("rdap.example", "rdap", "https://rdap.example/domain/example.com");
  builder.StepData("<html>\xff</html>", 14);
  builder.StepEnded(true, nullptr);
  const std::string huge(StepReplyLimit + 10, 'x');
  builder.StepStarted("whois.flood", "whois", "example.com");
  builder.StepData(huge.data(), huge.size());
  builder.StepData("more", 4);
  builder.StepEnded(true, nullptr);
  builder.AddError("no whois server");

  const json record = builder.Build();
  EXPECT_FALSE(record.contains("expires"));
  EXPECT_FALSE(record.contains("source"));
  EXPECT_EQ(record["domain_unicode"], "bücher.example");
  ASSERT_EQ(record["steps"].size(), 3u);
  EXPECT_EQ(record["steps"][0]["status"], "error");
  EXPECT_EQ(record["steps"][0]["error"], "Connection closed");
  EXPECT_FALSE(record["steps"][1].contains("rdap"));
  EXPECT_EQ(record["steps"][2]["reply"].get<std::string>().size(), StepReplyLimit);
  EXPECT_EQ(record["errors"].size(), 2u);

  const std::string line = builder.Line();
  ASSERT_FALSE(line.empty());
  EXPECT_EQ(line.find('\n'), line.size() - 1);
  const json back = json::parse(line);  // throws on invalid UTF-8
  EXPECT_EQ(back["steps"][1]["reply"], "<html>\xEF\xBF\xBD</html>");
}
