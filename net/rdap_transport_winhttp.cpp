// RDAP over WinHTTP (Windows), a system DLL. Its calls are synchronous and
// closing a handle does not reliably end a call blocked on a silent server,
// so each request runs on a thread of its own while the lookup worker waits
// in tenths of a second, watching the lookup's stop flags and the 30-second
// deadline. A request given up on is left to finish on its thread (bounded by
// WinHTTP's own timeouts); it owns everything it touches. Certificates are
// checked against the system's store. Redirects are followed here, not by
// WinHTTP, on libcurl's rules: https only, no user name or password in the
// address. WinHTTP can use an HTTP proxy only: a SOCKS proxy is reported,
// never silently bypassed.
#include <windows.h>
#include <winhttp.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include "net/rdap_transport.h"
#include "net/rdap_url.h"
#include "net/server_text.h"
#include "net/texts.h"
#include "version.h"

namespace {

std::wstring Wide(const std::string& text) {
  std::wstring wide;
  for (const char c : text) wide += static_cast<wchar_t>(static_cast<unsigned char>(c));
  return wide;
}

std::string Narrow(const wchar_t* text) {
  std::string narrow;
  for (; text && *text; ++text) narrow += *text < 0x80 ? static_cast<char>(*text) : '?';
  return narrow;
}

std::string FailureText(DWORD code, const std::string& host) {
  switch (code) {
    case ERROR_WINHTTP_NAME_NOT_RESOLVED: return ResolveFailureText(host.c_str());
    case ERROR_WINHTTP_CANNOT_CONNECT: return NetTextOf(NetText::CannotConnect);
    case ERROR_WINHTTP_REDIRECT_FAILED:
      return "HTTPS request to " + host + " failed: more than " + std::to_string(RdapRedirectLimit) + " redirects\n";
    case ERROR_WINHTTP_TIMEOUT:
      return "No answer from " + host + " within " + std::to_string(RdapTimeoutSeconds) + " seconds\n";
    case ERROR_WINHTTP_SECURE_FAILURE:
    case ERROR_WINHTTP_SECURE_INVALID_CA:
    case ERROR_WINHTTP_SECURE_CERT_CN_INVALID:
    case ERROR_WINHTTP_SECURE_CERT_DATE_INVALID:
      return "HTTPS request to " + host + " failed: the server's certificate is not trusted (error " +
             std::to_string(code) + ")\n";
    default: return "HTTPS request to " + host + " failed: error " + std::to_string(code) + "\n";
  }
}

// The proxy settings, copied for the request's thread.
struct ProxyChoice {
  bool Use = false;
  std::string Server;
  int Port = 0;
  bool UseAuth = false;
  std::string Login, Pass;
};

// The answer's body, up to the size limit; false when a read failed.
bool ReadBody(HINTERNET request, RdapFetch& result) {
  char buffer[16384];
  for (;;) {
    DWORD got = 0;
    if (!WinHttpReadData(request, buffer, sizeof buffer, &got)) return false;
    if (got == 0) return true;
    if (result.Body.size() + got > RdapAnswerLimit) {
      result.TooLarge = true;
      result.Body.clear();
      return true;
    }
    result.Body.append(buffer, got);
  }
}

// One request and its handles, closed with it.
struct Exchange {
  HINTERNET Connection = nullptr;
  HINTERNET Request = nullptr;
  Exchange() = default;
  Exchange(const Exchange&) = delete;
  Exchange& operator=(const Exchange&) = delete;
  ~Exchange() {
    if (Request) WinHttpCloseHandle(Request);
    if (Connection) WinHttpCloseHandle(Connection);
  }
};

// Sends the GET for `url` and waits for the answer's headers. WinHTTP follows
// no redirect itself: the caller judges each one as libcurl does (https only,
// no user information). 0 when the headers came, else the error code;
// ERROR_WINHTTP_INVALID_URL for a URL WinHTTP cannot take apart.
DWORD Ask(HINTERNET session, const std::string& url, const ProxyChoice& proxy, Exchange& x) {
  std::wstring wideUrl = Wide(url);
  URL_COMPONENTS parts = {};
  parts.dwStructSize = sizeof parts;
  parts.dwHostNameLength = parts.dwUrlPathLength = parts.dwExtraInfoLength = static_cast<DWORD>(-1);
  if (!WinHttpCrackUrl(wideUrl.c_str(), 0, 0, &parts)) return ERROR_WINHTTP_INVALID_URL;
  const std::wstring host(parts.lpszHostName, parts.dwHostNameLength);
  std::wstring path(parts.lpszUrlPath, parts.dwUrlPathLength);
  if (parts.lpszExtraInfo) path.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);

  x.Connection = WinHttpConnect(session, host.c_str(), parts.nPort, 0);
  if (x.Connection)
    x.Request = WinHttpOpenRequest(x.Connection, L"GET", path.c_str(), nullptr, WINHTTP_NO_REFERER,
                                   WINHTTP_DEFAULT_ACCEPT_TYPES,
                                   parts.nScheme == INTERNET_SCHEME_HTTPS ? WINHTTP_FLAG_SECURE : 0);
  if (!x.Request) return GetLastError();
  DWORD never = WINHTTP_OPTION_REDIRECT_POLICY_NEVER;
  WinHttpSetOption(x.Request, WINHTTP_OPTION_REDIRECT_POLICY, &never, sizeof never);
  DWORD noRedirects = WINHTTP_DISABLE_REDIRECTS;
  WinHttpSetOption(x.Request, WINHTTP_OPTION_DISABLE_FEATURE, &noRedirects, sizeof noRedirects);
  if (proxy.Use && proxy.UseAuth) {
    const std::wstring wideLogin = Wide(proxy.Login), widePass = Wide(proxy.Pass);
    WinHttpSetOption(x.Request, WINHTTP_OPTION_PROXY_USERNAME, const_cast<wchar_t*>(wideLogin.c_str()),
                     static_cast<DWORD>(wideLogin.size()));
    WinHttpSetOption(x.Request, WINHTTP_OPTION_PROXY_PASSWORD, const_cast<wchar_t*>(widePass.c_str()),
                     static_cast<DWORD>(widePass.size()));
  }
  const wchar_t headers[] = L"Accept: application/rdap+json, application/json";
  if (WinHttpSendRequest(x.Request, headers, static_cast<DWORD>(-1L), WINHTTP_NO_REQUEST_DATA, 0, 0, 0) &&
      WinHttpReceiveResponse(x.Request, nullptr))
    return 0;
  return GetLastError();
}

// Whether the answer is a redirect, with its Location; a Location too long
// or beyond ASCII comes back empty, which no redirect is followed to.
bool RedirectLocation(HINTERNET request, DWORD status, std::string& location) {
  location.clear();
  if (status != 301 && status != 302 && status != 303 && status != 307 && status != 308) return false;
  wchar_t text[RdapUrlLimit + 1];
  DWORD size = sizeof text;
  if (!WinHttpQueryHeaders(request, WINHTTP_QUERY_LOCATION, WINHTTP_HEADER_NAME_BY_INDEX, text, &size,
                           WINHTTP_NO_HEADER_INDEX))
    return GetLastError() == ERROR_INSUFFICIENT_BUFFER;  // none at all: the answer stands
  for (const wchar_t* c = text; *c; ++c)
    if (*c >= 0x80) return true;
  location = Narrow(text);
  return true;
}

void Perform(const std::string& url, const ProxyChoice& proxy, RdapFetch& result) {
  const bool viaProxy = proxy.Use;
  std::wstring proxyName;
  if (viaProxy) proxyName = Wide(FormatHostPort(proxy.Server.c_str(), proxy.Port & 0xFFFF));
  HINTERNET session = WinHttpOpen(L"" MERROWGATE_USER_AGENT,
                                  viaProxy ? WINHTTP_ACCESS_TYPE_NAMED_PROXY : WINHTTP_ACCESS_TYPE_NO_PROXY,
                                  viaProxy ? proxyName.c_str() : WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0);
  if (!session) {
    result.Error = FailureText(GetLastError(), result.Server);
    return;
  }
  const int ms = RdapTimeoutSeconds * 1000;
  WinHttpSetTimeouts(session, ms, ms, ms, ms);

  std::string current = url;
  DWORD failure = 0;
  for (long redirects = 0;; ++redirects) {
    result.Server = UrlHost(current);
    Exchange x;
    failure = Ask(session, current, proxy, x);
    if (failure == ERROR_WINHTTP_INVALID_URL && redirects == 0) {
      result.Error = "Not an HTTPS address: " + url + "\n";
      break;
    }
    if (failure) break;
    DWORD status = 0, size = sizeof status;
    WinHttpQueryHeaders(x.Request, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER, WINHTTP_HEADER_NAME_BY_INDEX,
                        &status, &size, WINHTTP_NO_HEADER_INDEX);
    // A 429's Retry-After in seconds; an HTTP date is left to the doubling pause.
    DWORD retryAfter = 0;
    size = sizeof retryAfter;
    if (status == 429 && WinHttpQueryHeaders(x.Request, WINHTTP_QUERY_RETRY_AFTER | WINHTTP_QUERY_FLAG_NUMBER,
                                             WINHTTP_HEADER_NAME_BY_INDEX, &retryAfter, &size, WINHTTP_NO_HEADER_INDEX))
      result.RetryAfter = static_cast<long>(retryAfter < 86400 ? retryAfter : 86400);
    std::string location;
    if (RedirectLocation(x.Request, status, location)) {
      const std::string target = location.empty() ? "" : RedirectTarget(current, location);
      if (!RdapUrlRefusal(target).empty()) {
        result.Error = RedirectRefusal(UrlHost(current), target);
        break;
      }
      if (redirects == RdapRedirectLimit) {
        failure = ERROR_WINHTTP_REDIRECT_FAILED;
        break;
      }
      current = target;
      continue;
    }
    if (!ReadBody(x.Request, result)) {
      failure = GetLastError();
      break;
    }
    if (!result.TooLarge) result.Status = static_cast<long>(status);
    break;
  }
  WinHttpCloseHandle(session);
  if (result.Status == 0 && !result.TooLarge && result.Error.empty())
    result.Error = FailureText(failure ? failure : ERROR_WINHTTP_TIMEOUT, result.Server);
}

// What the request's thread and the waiting worker share.
struct Job {
  std::mutex Mutex;
  std::condition_variable Done;
  bool Finished = false;
  RdapFetch Result;
};

}  // namespace

void FetchRdap(const ProxyOptions& options, StopFlags stop, const std::string& url, RdapFetch& result) {
  result = RdapFetch{};
  result.Server = UrlHost(url);
  if (!(result.Error = RdapUrlRefusal(url)).empty()) return;
  ProxyChoice proxy;
  if (options.Enabled) {
    if (options.Type != HTTP) {
      result.Error = NetTextOf(options.Type == Socks4 || options.Type == Socks5 ? NetText::SocksNotForRdap
                                                                                : NetText::ProxyTypeNotSupported);
      return;
    }
    proxy.Use = true;
    proxy.Server = options.Server;
    proxy.Port = options.Port;
    proxy.UseAuth = options.UseAuth;
    proxy.Login = options.Login;
    proxy.Pass = options.Pass;
  }

  auto job = std::make_shared<Job>();
  job->Result.Server = result.Server;
  std::thread([job, url, proxy] {
    RdapFetch fetched = job->Result;
    Perform(url, proxy, fetched);
    std::lock_guard<std::mutex> lock(job->Mutex);
    job->Result = std::move(fetched);
    job->Finished = true;
    job->Done.notify_all();
  }).detach();

  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(RdapTimeoutSeconds);
  std::unique_lock<std::mutex> lock(job->Mutex);
  while (!job->Finished) {
    job->Done.wait_for(lock, std::chrono::milliseconds(100));
    if (job->Finished) break;
    if (stop.Requested()) {
      result.Cancelled = true;
      return;
    }
    if (std::chrono::steady_clock::now() >= deadline) {
      result.Error = FailureText(ERROR_WINHTTP_TIMEOUT, result.Server);
      return;
    }
  }
  result = std::move(job->Result);
}
