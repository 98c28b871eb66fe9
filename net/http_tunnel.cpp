#include "net/http_tunnel.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "net/base64.h"
#include "net/output_sink.h"
#include "net/stream.h"
#include "platform/text.h"

namespace {

// "Login:Pass" for the longest texts the settings hold (127 + 1 + 127) and the
// terminator, and its Base64 form: four characters per three bytes and the
// terminator. Sized so that stored credentials always fit.
constexpr int CredentialsCapacity = 2 * ProxyTextCapacity;
constexpr int EncodedCredentialsCapacity = 4 * ((CredentialsCapacity - 1 + 2) / 3) + 1;

}  // namespace

// The request, with no Host or other header:
//
//   CONNECT <host>:<port> HTTP/1.1 CR LF
//   Proxy-Authorization: Basic <base64 of "login:pass"> CR LF   (only with credentials)
//   CR LF
//
// The host goes as the whois server text names it (the proxy resolves it), an
// IPv6 address in brackets; the port is the decimal number as parsed, even
// when it is out of range.
int BuildHttpConnectRequest(char* request, int capacity, const char* host, int port, const char* encodedCredentials) {
  if (capacity <= 0) return -1;
  const auto room = [&](int used) { return static_cast<size_t>(capacity - used); };
  const bool bracketed = std::strchr(host, ':') && host[0] != '[';
  int length = std::snprintf(request, room(0),
                             bracketed ? "CONNECT [%s]:%d HTTP/1.1\r\n" : "CONNECT %s:%d HTTP/1.1\r\n", host, port);
  if (length < 0 || length >= capacity) return -1;
  if (encodedCredentials) {
    const int n = std::snprintf(request + length, room(length), "Proxy-Authorization: Basic %s\r\n",
                                encodedCredentials);
    if (n < 0 || n >= capacity - length) return -1;
    length += n;
  }
  if (length + 2 >= capacity) return -1;
  request[length++] = '\r';
  request[length++] = '\n';
  request[length] = '\0';
  return length;
}

// The header ends with an empty line: a LF right after the previous LF, with at
// most one CR between them. A reply that begins with an empty line ends there.
bool HttpReplyHeaderComplete(const char* reply, int count) {
  if (count < 1 || reply[count - 1] != '\n') return false;
  int i = count - 2;
  if (i >= 0 && reply[i] == '\r') --i;
  return i < 0 || reply[i] == '\n';
}

// The status line is "HTTP/1.x", spaces, a decimal code, a reason phrase. The
// version is compared without regard to case and its minor digit is not
// looked at; the code starts at offset 8 after any spaces (byte 32 only).
HttpReplyStatus JudgeHttpReply(const char* reply, int count) {
  static const char Version[] = "http/1.";
  const int versionLength = static_cast<int>(sizeof Version - 1);
  for (int i = 0; i < versionLength; ++i)
    if (i >= count || Lower(reply[i]) != Version[i]) return {HttpReplyVerdict::NotHttp, 0};

  int pos = versionLength + 1;
  while (pos < count && reply[pos] == ' ') ++pos;
  if (pos >= count) return {HttpReplyVerdict::NoStatusCode, 0};

  if (IsDigit(reply[pos])) {
    int code = 0;
    for (; pos < count && IsDigit(reply[pos]); ++pos)
      if (code < 1000) code = code * 10 + (reply[pos] - '0');  // any longer run is not 200
    if (code == 200) return {HttpReplyVerdict::Established, 0};
  }
  while (pos < count && reply[pos] != '\r' && reply[pos] != '\n') ++pos;
  return {HttpReplyVerdict::ErrorStatus, pos};
}

bool OpenHttpTunnel(Transport& t, const char* host, int port) {
  const ProxyOptions& proxy = t.Proxy;
  OutputSink& out = t.Out;

  char encoded[EncodedCredentialsCapacity];
  const char* credentials = nullptr;
  if (proxy.UseAuth) {
    char plain[CredentialsCapacity];
    const int n = std::snprintf(plain, sizeof plain, "%s:%s", proxy.Login, proxy.Pass);
    if (n < 0 || n >= static_cast<int>(sizeof plain) || !Base64Encode(plain, encoded, sizeof encoded))
      return FailTunnel(t, ProxyFailure::CredentialsTooLong);
    credentials = encoded;
  }

  char request[HttpRequestCapacity];
  const int length = BuildHttpConnectRequest(request, sizeof request, host, port, credentials);
  if (length < 0) return FailTunnel(t, ProxyFailure::HostNameTooLong);
  ProxyDump(t, "HTTP Proxy Request:\n========\n", request);
  if (SendToConnection(t, request, length) != length) return FailTunnel(t, ProxyFailure::SendFailed);

  // The header is taken one byte at a time up to its empty line, so that not a
  // byte of the whois reply behind it is taken off the socket here; headers
  // are a few hundred bytes, and the bound keeps a chatty proxy in check.
  char reply[HttpReplyCapacity + 1];
  int count = 0;
  while (count < HttpReplyCapacity && !HttpReplyHeaderComplete(reply, count)) {
    if (ReceiveFromConnection(t, reply + count, 1) != 1) break;  // closed or failed
    ++count;
  }
  reply[count] = '\0';
  if (TunnelAborted(t)) return false;
  if (count == 0) return FailTunnel(t, ProxyFailure::NoReply);
  ProxyDump(t, "HTTP Proxy Reply:\n========\n", reply);

  const HttpReplyStatus status = JudgeHttpReply(reply, count);
  switch (status.Verdict) {
    case HttpReplyVerdict::NotHttp: return FailTunnel(t, ProxyFailure::UnexpectedReply);
    case HttpReplyVerdict::NoStatusCode: return FailTunnel(t, ProxyFailure::IncompleteReply);
    case HttpReplyVerdict::ErrorStatus: {
      const std::string line(reply, static_cast<size_t>(status.StatusLineLength));
      out.AppendOutput(Error, ProxyErrorCodeText);
      out.AppendOutput(Error, line.c_str());
      out.AppendOutput(Error, "\n");
      CloseConnection(t);
      return false;
    }
    case HttpReplyVerdict::Established: break;
  }
  // The tunnel stands only once the header has ended with its empty line: a
  // proxy that closes or fails before then has not opened one, and one that
  // never ends its header would leak header lines into the whois reply.
  if (!HttpReplyHeaderComplete(reply, count))
    return FailTunnel(t, count == HttpReplyCapacity ? ProxyFailure::HeaderTooLong : ProxyFailure::IncompleteReply);
  return true;
}
