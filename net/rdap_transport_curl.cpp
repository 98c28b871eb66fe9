// RDAP over libcurl (POSIX). Certificates are checked against the system's
// store; the tests add their own CA through TestCaFileVariable. The progress
// callback runs about once a second even while the server is silent, which is
// where Escape, Ctrl-C and shutdown end the request. The body is collected up
// to the answer limit; past it the transfer is stopped.
//
// libcurl is loaded when the first request is made, not when the program
// starts: most lookups are whois over port 43, and binding libcurl and all
// the libraries it needs would cost every start several milliseconds.
#include <curl/curl.h>
#include <dlfcn.h>

#include <cstdlib>
#include <mutex>

#include "net/rdap_transport.h"
#include "net/rdap_url.h"
#include "net/texts.h"
#include "version.h"

namespace {

// The libcurl functions this transport calls, looked up once.
struct CurlApi {
  CURLcode (*global_init)(long);
  CURL* (*easy_init)();
  CURLcode (*easy_setopt)(CURL*, CURLoption, ...);
  CURLcode (*easy_perform)(CURL*);
  CURLcode (*easy_getinfo)(CURL*, CURLINFO, ...);
  const char* (*easy_strerror)(CURLcode);
  void (*easy_cleanup)(CURL*);
  curl_slist* (*slist_append)(curl_slist*, const char*);
  void (*slist_free_all)(curl_slist*);
};

template <typename F>
bool Find(void* library, const char* name, F& function) {
  function = reinterpret_cast<F>(dlsym(library, name));
  return function != nullptr;
}

// Loads `file` and looks its functions up into `api`: empty when done (the
// library then stays loaded), else the Error line that says what failed.
std::string LoadCurlApi(const char* file, CurlApi& api) {
  void* library = dlopen(file, RTLD_NOW | RTLD_LOCAL);
  if (!library) {
    const char* why = dlerror();
    return std::string("Cannot load libcurl, which HTTPS needs: ") + (why ? why : file) + "\n";
  }
  const char* missing = nullptr;
  if (!Find(library, "curl_global_init", api.global_init)) missing = "curl_global_init";
  else if (!Find(library, "curl_easy_init", api.easy_init)) missing = "curl_easy_init";
  else if (!Find(library, "curl_easy_setopt", api.easy_setopt)) missing = "curl_easy_setopt";
  else if (!Find(library, "curl_easy_perform", api.easy_perform)) missing = "curl_easy_perform";
  else if (!Find(library, "curl_easy_getinfo", api.easy_getinfo)) missing = "curl_easy_getinfo";
  else if (!Find(library, "curl_easy_strerror", api.easy_strerror)) missing = "curl_easy_strerror";
  else if (!Find(library, "curl_easy_cleanup", api.easy_cleanup)) missing = "curl_easy_cleanup";
  else if (!Find(library, "curl_slist_append", api.slist_append)) missing = "curl_slist_append";
  else if (!Find(library, "curl_slist_free_all", api.slist_free_all)) missing = "curl_slist_free_all";
  if (!missing) return {};
  api = CurlApi{};
  dlclose(library);
  return std::string("Cannot use libcurl (") + file + "), which HTTPS needs: it has no " + missing + "\n";
}

// libcurl, loaded and set up by the first request; null (with the reason in
// `error`) when it cannot be loaded. It stays loaded for the rest of the run.
const CurlApi* Curl(std::string& error) {
  static CurlApi api{};
  static std::string loadError;
  static std::once_flag once;
  std::call_once(once, [] {
    loadError = LoadCurlApi(LibcurlFile, api);
    if (loadError.empty()) api.global_init(CURL_GLOBAL_DEFAULT);
  });
  error = loadError;
  return loadError.empty() ? &api : nullptr;
}

// A 429's Retry-After: its seconds, or the time to its HTTP date, as libcurl
// reads the header; -1 when it gave none.
long RetryAfter(const CurlApi& lib, CURL* curl) {
  curl_off_t seconds = 0;
  if (lib.easy_getinfo(curl, CURLINFO_RETRY_AFTER, &seconds) != CURLE_OK || seconds <= 0) return -1;
  return static_cast<long>(seconds < 86400 ? seconds : 86400);
}

}  // namespace

std::string CheckLibcurl(const char* file) {
  CurlApi api{};
  return LoadCurlApi(file, api);
}

namespace {

struct Transfer {
  RdapFetch* Result;
  const StopFlags* Stop;
};

size_t OnBody(char* data, size_t size, size_t count, void* user) {
  auto* transfer = static_cast<Transfer*>(user);
  const size_t n = size * count;
  if (transfer->Result->Body.size() + n > RdapAnswerLimit) {
    transfer->Result->TooLarge = true;
    return 0;  // stops the transfer
  }
  transfer->Result->Body.append(data, n);
  return n;
}

int OnProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  auto* transfer = static_cast<Transfer*>(user);
  if (transfer->Stop->Requested()) {
    transfer->Result->Cancelled = true;
    return 1;
  }
  return 0;
}

std::string ProxyUrl(const ProxyOptions& options) {
  static const char* const schemes[] = {"http://", "socks4://", "socks5://"};
  static const char* const resolving[] = {"http://", "socks4a://", "socks5h://"};
  const int type = options.Type;
  if (type < HTTP || type > Socks5) return {};
  const std::string server = options.Server;
  const std::string host = server.find(':') != std::string::npos ? "[" + server + "]" : server;
  return std::string(options.Resolve ? resolving[type] : schemes[type]) + host + ":" +
         std::to_string(options.Port & 0xFFFF);
}

}  // namespace

void FetchRdap(const ProxyOptions& options, StopFlags stop, const std::string& url, RdapFetch& result) {
  result = RdapFetch{};
  result.Server = UrlHost(url);
  if (!(result.Error = RdapUrlRefusal(url)).empty()) return;
  const CurlApi* const lib = Curl(result.Error);
  if (!lib) return;

  if (options.Enabled && (options.Type < HTTP || options.Type > Socks5)) {
    result.Error = NetTextOf(NetText::ProxyTypeNotSupported);
    return;
  }
  CURL* curl = lib->easy_init();
  if (!curl) {
    result.Error = "Cannot start an HTTPS request\n";
    return;
  }
  Transfer transfer{&result, &stop};
  curl_slist* headers = lib->slist_append(nullptr, "Accept: application/rdap+json, application/json");
  lib->easy_setopt(curl, CURLOPT_URL, url.c_str());
  lib->easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
  lib->easy_setopt(curl, CURLOPT_USERAGENT, MERROWGATE_USER_AGENT);
  lib->easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "https");
  lib->easy_setopt(curl, CURLOPT_DISALLOW_USERNAME_IN_URL, 1L);  // in redirects too
  lib->easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "https");
  lib->easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
  lib->easy_setopt(curl, CURLOPT_MAXREDIRS, RdapRedirectLimit);
  lib->easy_setopt(curl, CURLOPT_TIMEOUT, static_cast<long>(RdapTimeoutSeconds));
  lib->easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  lib->easy_setopt(curl, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(RdapAnswerLimit));
  lib->easy_setopt(curl, CURLOPT_WRITEFUNCTION, OnBody);
  lib->easy_setopt(curl, CURLOPT_WRITEDATA, &transfer);
  lib->easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
  lib->easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, OnProgress);
  lib->easy_setopt(curl, CURLOPT_XFERINFODATA, &transfer);
  if (const char* ca = std::getenv(TestCaFileVariable)) lib->easy_setopt(curl, CURLOPT_CAINFO, ca);

  std::string proxy, credentials;
  if (options.Enabled) {
    proxy = ProxyUrl(options);
    lib->easy_setopt(curl, CURLOPT_PROXY, proxy.c_str());
    if (options.Type == HTTP) lib->easy_setopt(curl, CURLOPT_HTTPPROXYTUNNEL, 1L);
    if (options.UseAuth) {
      lib->easy_setopt(curl, CURLOPT_PROXYUSERNAME, options.Login);
      lib->easy_setopt(curl, CURLOPT_PROXYPASSWORD, options.Pass);
    }
  } else {
    lib->easy_setopt(curl, CURLOPT_PROXY, "");  // no proxy from the environment either
  }

  const CURLcode code = lib->easy_perform(curl);
  char* effective = nullptr;
  if (lib->easy_getinfo(curl, CURLINFO_EFFECTIVE_URL, &effective) == CURLE_OK && effective &&
      RdapUrlRefusal(effective).empty())
    result.Server = UrlHost(effective);
  if (code == CURLE_OK) {
    lib->easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &result.Status);
    if (result.Status == 429) result.RetryAfter = RetryAfter(*lib, curl);
  } else if (result.Cancelled || code == CURLE_ABORTED_BY_CALLBACK) {
    result.Cancelled = true;
  } else if (result.TooLarge || code == CURLE_FILESIZE_EXCEEDED) {
    result.TooLarge = true;
    result.Body.clear();
  } else if (code == CURLE_UNSUPPORTED_PROTOCOL || code == CURLE_LOGIN_DENIED) {
    result.Error = RedirectRefusal(result.Server, effective ? effective : "");
  } else if (code == CURLE_COULDNT_RESOLVE_HOST) {
    result.Error = ResolveFailureText(result.Server.c_str());
  } else if (code == CURLE_COULDNT_RESOLVE_PROXY) {
    result.Error = ProxyResolveFailureText(options.Server, options.Port);
  } else if (code == CURLE_COULDNT_CONNECT) {
    // Through a proxy, the one connection libcurl makes itself is the proxy's.
    result.Error = options.Enabled ? ProxyConnectFailureText(options.Server, options.Port)
                                   : NetTextOf(NetText::CannotConnect);
  } else if (code == CURLE_OPERATION_TIMEDOUT) {
    result.Error = "No answer from " + result.Server + " within " + std::to_string(RdapTimeoutSeconds) + " seconds\n";
  } else {
    result.Error = std::string("HTTPS request to ") + result.Server + " failed: " + lib->easy_strerror(code) + "\n";
  }
  lib->slist_free_all(headers);
  lib->easy_cleanup(curl);
}
