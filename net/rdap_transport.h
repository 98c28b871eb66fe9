// One HTTPS GET of an RDAP URL: libcurl on POSIX, WinHTTP on Windows.
#pragma once
#include <cstddef>
#include <string>

#include "net/proxy_options.h"
#include "net/transport.h"

// An answer larger than this is refused.
constexpr std::size_t RdapAnswerLimit = 4u * 1024u * 1024u;

// A request gives up after this long, answer or not.
constexpr int RdapTimeoutSeconds = 30;
constexpr long RdapRedirectLimit = 5;

struct RdapFetch {
  long Status = 0;         // HTTP status of the final answer; 0 when none came
  std::string Body;        // the answer's body, at most RdapAnswerLimit bytes
  std::string Server;      // the host that gave the final answer (or was asked)
  std::string Error;       // why no answer came, a whole line; empty otherwise
  bool Cancelled = false;  // Escape, Ctrl-C or shutdown ended the request
  bool TooLarge = false;   // the answer passed the size limit and was dropped
  long RetryAfter = -1;    // a 429's Retry-After in seconds; -1 when it gave none
};

// Fetches `url` (following redirects) through the lookup's proxy where the
// transport can use it. Watches the stop flags about once a second.
void FetchRdap(const ProxyOptions& proxy, StopFlags stop, const std::string& url, RdapFetch& result);

#ifndef _WIN32
// The libcurl that the first request loads (Debian's libcurl4 package).
constexpr const char* LibcurlFile = "libcurl.so.4";
// Loads `file` as libcurl and looks up the functions the transport calls:
// empty when all are there, else the Error line a request would end with.
std::string CheckLibcurl(const char* file);
#endif

// The host part of an http(s) URL, for messages.
std::string UrlHost(const std::string& url);

// The one environment variable the program reads: a CA file that the tests'
// fake RDAP service is signed with. Unset in normal use.
constexpr const char* TestCaFileVariable = "MERROWGATE_TEST_CA_FILE";
