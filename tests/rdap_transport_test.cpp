// The RDAP transport against loopback peers that never answer, through the
// platform's HTTP library (libcurl, or WinHTTP under Wine).
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "net/connection.h"
#include "net/rdap_transport.h"
#include "settings/settings.h"
#include "tests/support/loopback_server.h"
#include "tests/support/recording_sink.h"

namespace {

// A server that accepts and then says nothing (not even its TLS hello): the
// user's cancel ends the request within about a second.
TEST(RdapTransport, CancelEndsASilentRequest) {
  RecordingSink sink;
  SinkScope scope(&sink);
  LoopbackServer server({[](LoopbackConnection& c) { c.Pause(2500); }});
  std::thread escape([] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    CancelFlag = 1;
  });
  const auto start = std::chrono::steady_clock::now();
  RdapFetch fetch;
  FetchRdap("https://127.0.0.1:" + std::to_string(server.Port()) + "/domain/example.com", fetch);
  const auto elapsed = std::chrono::steady_clock::now() - start;
  escape.join();
  EXPECT_TRUE(fetch.Cancelled);
  EXPECT_EQ(fetch.Status, 0);
  EXPECT_LT(elapsed, std::chrono::milliseconds(2500));
  EXPECT_EQ(server.Accepted(), 1);
}

TEST(RdapTransport, FailuresAreNamed) {
  RecordingSink sink;
  SinkScope scope(&sink);
  struct Case {
    const char* url;
    bool socks;
    const char* error;  // start of the error line
  } cases[] = {
      {"https://127.0.0.1:1/domain/example.com", false, "Cannot connect socket\n"},
#ifdef _WIN32
      {"https://127.0.0.1:1/domain/example.com", true, "RDAP cannot go through a SOCKS proxy"},
#endif
  };
  for (const Case& c : cases) {
    if (c.socks) {
      Settings.Enabled = 1;
      Settings.Type = Socks5;
      CopyText(Settings.Server, ProxyTextCapacity, "127.0.0.1");
      Settings.Port = 1;
    }
    RdapFetch fetch;
    FetchRdap(c.url, fetch);
    EXPECT_EQ(fetch.Error.compare(0, std::string(c.error).size(), c.error), 0) << fetch.Error;
    Settings.Enabled = 0;
  }
  EXPECT_EQ(UrlHost("https://user@Rdap.Example:8443/x?y"), "Rdap.Example");
  EXPECT_EQ(UrlHost("https://[2001:db8::1]:443/ip/1"), "2001:db8::1");
}

#ifndef _WIN32
// libcurl is loaded by the first request: a library that is missing, or that
// is not libcurl, is an error line naming libcurl, not a crash.
TEST(RdapTransport, LibcurlIsLoadedOnDemand) {
  struct Case {
    const char* file;
    const char* error;  // start of the error line; empty when it loads
  } cases[] = {
      {LibcurlFile, ""},
      {"libcurl-missing.so.4", "Cannot load libcurl, which HTTPS needs: "},
      {"libdl.so.2", "Cannot use libcurl (libdl.so.2), which HTTPS needs: it has no curl_global_init\n"},
  };
  for (const Case& c : cases) {
    const std::string error = CheckLibcurl(c.file);
    EXPECT_EQ(error.compare(0, std::string(c.error).size(), c.error), 0) << c.file << ": " << error;
    EXPECT_EQ(error.empty(), *c.error == '\0') << c.file;
    if (!error.empty()) {
      EXPECT_EQ(error.back(), '\n');
    }
  }
}
#endif

}  // namespace
