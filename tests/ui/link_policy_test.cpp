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
  };
  for (const auto& row : rows) EXPECT_EQ(OpenableLink(row.Link), row.Opened) << row.Link;
}

}  // namespace
