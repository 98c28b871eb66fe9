// Which links from a whois reply reach the shell.
#include <gtest/gtest.h>

#include "ui/link_policy.h"

namespace {

TEST(LinkPolicy, OnlyWebAndMailLinksAreOpened) {
  const struct {
    const char* Link;
    const char* Opened;
  } rows[] = {
      {"http://www.example.com/", "http://www.example.com/"},
      {"HTTPS://example.com/whois?q=1", "HTTPS://example.com/whois?q=1"},
      {"ftp://ftp.example.net/pub", "ftp://ftp.example.net/pub"},
      {"mailto:abuse@example.com", "mailto:abuse@example.com"},
      {"www.example.com", "http://www.example.com"},
      {"file:///C:/Windows/System32/calc.exe", ""},
      {"file://server/share/evil.exe", ""},
      {"C:\\Windows\\notepad.exe", ""},
      {"\\\\server\\share\\x.bat", ""},
      {"telnet://example.com", ""},
      {"javascript:alert(1)", ""},
      {"news:comp.lang", ""},
      {"http://", ""},
      {"mailto:", ""},
      {"http://example.com/\r\nC:\\x.exe", ""},
      {"", ""},
      // Quotes, blanks and control characters could carry options or
      // commands to the program that serves the scheme.
      {"http://x/\"--flag", ""},
      {"http://x/'a", ""},
      {"http://x/a b", ""},
      {"http://x/a\tb", ""},
      {"http://x/\x7f", ""},
      // A mail link is an address and nothing more.
      {"mailto:a@b?attach=C:\\Users\\me\\secret.txt", ""},
      {"mailto:a@b?subject=x%0D%0ABcc:c@d", ""},
      {"MAILTO:a@b?", ""},
      {"mailto:a.b+c@example.com", "mailto:a.b+c@example.com"},
      {"http://example.com/?q=1", "http://example.com/?q=1"},
  };
  for (const auto& row : rows) EXPECT_EQ(OpenableLink(row.Link), row.Opened) << row.Link;
}

TEST(LinkPolicy, LinksLongerThan2048BytesAreRefused) {
  const std::string base = "http://example.com/";
  const struct {
    std::string Link;
    bool Opened;
  } rows[] = {
      {base + std::string(2048 - base.size(), 'a'), true},
      {base + std::string(2049 - base.size(), 'a'), false},
      {base + std::string(100000, 'a'), false},
      {"www." + std::string(2037, 'a'), true},  // 2048 with the "http://" added
      {"www." + std::string(2038, 'a'), false},
  };
  for (const auto& row : rows) EXPECT_EQ(!OpenableLink(row.Link).empty(), row.Opened) << row.Link.size();
}

}  // namespace
