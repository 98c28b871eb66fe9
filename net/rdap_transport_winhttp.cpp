// RDAP over WinHTTP (Windows), a system DLL. Calls are synchronous; a
// watcher thread looks at CancelFlag and QuitFlag every tenth of a second
// and at the 30-second deadline, and ends a request in progress by closing
// its handle, which makes the blocked call return. Certificates are checked
// against the system's store. WinHTTP can use an HTTP proxy only: a SOCKS
// proxy is reported, never silently bypassed.
#include <windows.h>
#include <winhttp.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "net/connection.h"
#include "net/rdap_transport.h"
#include "settings/settings.h"

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

// Ends the request from the watcher thread, or lets the caller close it.
class Watch {
 public:
  explicit Watch(HINTERNET request) : request_(request), thread_([this] { Run(); }) {}
  ~Watch() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      done_ = true;
    }
    wake_.notify_all();
    thread_.join();
  }
  bool Cancelled() const { return cancelled_; }
  bool TimedOut() const { return timedOut_; }

 private:
  void Run() {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(RdapTimeoutSeconds);
    std::unique_lock<std::mutex> lock(mutex_);
    while (!done_) {
      wake_.wait_for(lock, std::chrono::milliseconds(100));
      if (done_) break;
      const bool cancel = CancelFlag == 1 || QuitFlag == 1;
      const bool late = std::chrono::steady_clock::now() >= deadline;
      if (cancel || late) {
        cancelled_ = cancel;
        timedOut_ = !cancel;
        WinHttpCloseHandle(request_);  // the blocked call returns with an error
        request_ = nullptr;
        break;
      }
    }
  }

 public:
  // The handle if the watcher has not closed it.
  HINTERNET Request() {
    std::lock_guard<std::mutex> lock(mutex_);
    return request_;
  }
  // Stops the watcher and hands the handle back for closing (or null).
  HINTERNET Finish() {
    std::lock_guard<std::mutex> lock(mutex_);
    done_ = true;
    wake_.notify_all();
    HINTERNET h = request_;
    request_ = nullptr;
    return h;
  }

 private:
  HINTERNET request_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool done_ = false;
  bool cancelled_ = false;
  bool timedOut_ = false;
  std::thread thread_;
};

std::string FailureText(DWORD code, const std::string& host) {
  switch (code) {
    case ERROR_WINHTTP_NAME_NOT_RESOLVED: return "Can not resolve host '" + host + "'\n";
    case ERROR_WINHTTP_CANNOT_CONNECT: return "Cannot connect socket\n";
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

}  // namespace

void FetchRdap(const std::string& url, RdapFetch& result) {
  result = RdapFetch{};
  result.Server = UrlHost(url);
  const bool viaProxy = Settings.Enabled != 0;
  if (viaProxy && Settings.Type != HTTP) {
    result.Error = Settings.Type == Socks4 || Settings.Type == Socks5
                       ? "RDAP cannot go through a SOCKS proxy in the Windows program: use an HTTP proxy or none\n"
                       : "Proxy Type not supported yet!\n";
    return;
  }

  std::wstring wideUrl = Wide(url);
  URL_COMPONENTS parts = {};
  parts.dwStructSize = sizeof parts;
  parts.dwHostNameLength = parts.dwUrlPathLength = parts.dwExtraInfoLength = static_cast<DWORD>(-1);
  if (!WinHttpCrackUrl(wideUrl.c_str(), 0, 0, &parts)) {
    result.Error = "Not an HTTPS address: " + url + "\n";
    return;
  }
  const std::wstring host(parts.lpszHostName, parts.dwHostNameLength);
  std::wstring path(parts.lpszUrlPath, parts.dwUrlPathLength);
  if (parts.lpszExtraInfo) path.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);

  std::wstring proxyName;
  if (viaProxy) {
    char server[ProxyTextCapacity];
    CopyText(server, sizeof server, Settings.Server);
    proxyName = Wide(std::string(server) + ":" + std::to_string(Settings.Port & 0xFFFF));
  }
  HINTERNET session = WinHttpOpen(L"merrowgate/0.9.3.0",
                                  viaProxy ? WINHTTP_ACCESS_TYPE_NAMED_PROXY : WINHTTP_ACCESS_TYPE_NO_PROXY,
                                  viaProxy ? proxyName.c_str() : WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0);
  if (!session) {
    result.Error = FailureText(GetLastError(), result.Server);
    return;
  }
  const int ms = RdapTimeoutSeconds * 1000;
  WinHttpSetTimeouts(session, ms, ms, ms, ms);
  HINTERNET connection = WinHttpConnect(session, host.c_str(), parts.nPort, 0);
  HINTERNET request =
      connection ? WinHttpOpenRequest(connection, L"GET", path.c_str(), nullptr, WINHTTP_NO_REFERER,
                                      WINHTTP_DEFAULT_ACCEPT_TYPES,
                                      parts.nScheme == INTERNET_SCHEME_HTTPS ? WINHTTP_FLAG_SECURE : 0)
                 : nullptr;
  if (!request) {
    result.Error = FailureText(GetLastError(), result.Server);
    if (connection) WinHttpCloseHandle(connection);
    WinHttpCloseHandle(session);
    return;
  }
  DWORD redirects = static_cast<DWORD>(RdapRedirectLimit);
  WinHttpSetOption(request, WINHTTP_OPTION_MAX_HTTP_AUTOMATIC_REDIRECTS, &redirects, sizeof redirects);
  if (viaProxy && Settings.UseAuth) {
    char login[ProxyTextCapacity], pass[ProxyTextCapacity];
    CopyText(login, sizeof login, Settings.Login);
    CopyText(pass, sizeof pass, Settings.Pass);
    const std::wstring wideLogin = Wide(login), widePass = Wide(pass);
    WinHttpSetOption(request, WINHTTP_OPTION_PROXY_USERNAME, const_cast<wchar_t*>(wideLogin.c_str()),
                     static_cast<DWORD>(wideLogin.size()));
    WinHttpSetOption(request, WINHTTP_OPTION_PROXY_PASSWORD, const_cast<wchar_t*>(widePass.c_str()),
                     static_cast<DWORD>(widePass.size()));
  }

  DWORD failure = 0;
  {
    Watch watch(request);
    const wchar_t headers[] = L"Accept: application/rdap+json, application/json";
    bool ok = WinHttpSendRequest(request, headers, static_cast<DWORD>(-1L), WINHTTP_NO_REQUEST_DATA, 0, 0, 0) &&
              WinHttpReceiveResponse(request, nullptr);
    if (ok) {
      DWORD status = 0, size = sizeof status;
      WinHttpQueryHeaders(request, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER, WINHTTP_HEADER_NAME_BY_INDEX,
                          &status, &size, WINHTTP_NO_HEADER_INDEX);
      wchar_t finalUrl[2048];
      DWORD urlSize = sizeof finalUrl;
      if (WinHttpQueryOption(request, WINHTTP_OPTION_URL, finalUrl, &urlSize)) result.Server = UrlHost(Narrow(finalUrl));
      char buffer[16384];
      for (;;) {
        DWORD got = 0;
        if (!WinHttpReadData(request, buffer, sizeof buffer, &got)) {
          ok = false;
          break;
        }
        if (got == 0) break;
        if (result.Body.size() + got > RdapAnswerLimit) {
          result.TooLarge = true;
          break;
        }
        result.Body.append(buffer, got);
      }
      if (ok) result.Status = static_cast<long>(status);
    }
    if (!ok) failure = GetLastError();
    HINTERNET still = watch.Finish();
    if (still) WinHttpCloseHandle(still);
    if (watch.Cancelled()) result.Cancelled = true;
    else if (watch.TimedOut()) failure = ERROR_WINHTTP_TIMEOUT;
  }
  WinHttpCloseHandle(connection);
  WinHttpCloseHandle(session);

  if (result.Cancelled || result.TooLarge) {
    result.Status = 0;
    result.Body.clear();
  } else if (result.Status == 0) {
    result.Error = FailureText(failure ? failure : ERROR_WINHTTP_TIMEOUT, result.Server);
  }
}
