// Http proxy tunnel to the whois server over the lookup's connection: a CONNECT
// request, optionally with Basic proxy credentials, judged by the status line.
#pragma once

#include "net/transport.h"

// Room for the whole request, terminator included; a longer one is refused.
constexpr int HttpRequestCapacity = 1024;
// Bound on the proxy's reply header, which is read up to its empty line.
constexpr int HttpReplyCapacity = 16384;

// Builds the CONNECT request into `request` (at most `capacity` bytes with the
// terminator); `encodedCredentials` is the Base64 text for the
// Proxy-Authorization line, or null for none. The length, or -1 when the
// request would not fit.
int BuildHttpConnectRequest(char* request, int capacity, const char* host, int port, const char* encodedCredentials);

// True when the `count` bytes received so far end with the empty line that
// closes a reply header (lines end in LF or CR LF).
bool HttpReplyHeaderComplete(const char* reply, int count);

enum class HttpReplyVerdict {
  Established,   // status 200: the tunnel stands
  NotHttp,       // does not begin with "HTTP/1."
  NoStatusCode,  // ends before a status code could start
  ErrorStatus,   // any other code, or no digits where the code belongs
};
struct HttpReplyStatus {
  HttpReplyVerdict Verdict;
  int StatusLineLength;  // bytes of the status line, for the error message
};
// Judges the status line at the start of the `count` received bytes.
HttpReplyStatus JudgeHttpReply(const char* reply, int count);

// True when the tunnel stands; on false the failure has been reported and the
// connection closed.
bool OpenHttpTunnel(Transport& t, const char* host, int port);
