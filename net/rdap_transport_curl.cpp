// RDAP over libcurl (POSIX). Certificates are checked against the system's
// store; the tests add their own CA through TestCaFileVariable. The progress
// callback runs about once a second even while the server is silent, which is
// where Escape, Ctrl-C and shutdown end the request. The body is collected up
// to the answer limit; past it the transfer is stopped.
#include <curl/curl.h>

#include <cstdlib>
#include <mutex>

#include "net/connection.h"
#include "net/rdap_transport.h"
#include "settings/settings.h"

namespace {

struct Transfer {
  RdapFetch* Result;
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
  if (CancelFlag == 1 || QuitFlag == 1) {
    transfer->Result->Cancelled = true;
    return 1;
  }
  return 0;
}

std::string ProxyUrl() {
  static const char* const schemes[] = {"http://", "socks4://", "socks5://"};
  static const char* const resolving[] = {"http://", "socks4a://", "socks5h://"};
  const int type = Settings.Type;
  if (type < HTTP || type > Socks5) return {};
  char server[ProxyTextCapacity];
  CopyText(server, sizeof server, Settings.Server);
  const std::string host = std::string(server).find(':') != std::string::npos ? "[" + std::string(server) + "]" : server;
  return std::string(Settings.Resolve ? resolving[type] : schemes[type]) + host + ":" +
         std::to_string(Settings.Port & 0xFFFF);
}

}  // namespace

void FetchRdap(const std::string& url, RdapFetch& result) {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
  result = RdapFetch{};
  result.Server = UrlHost(url);

  if (Settings.Enabled && (Settings.Type < HTTP || Settings.Type > Socks5)) {
    result.Error = "Proxy Type not supported yet!\n";
    return;
  }
  CURL* curl = curl_easy_init();
  if (!curl) {
    result.Error = "Cannot start an HTTPS request\n";
    return;
  }
  Transfer transfer{&result};
  curl_slist* headers = curl_slist_append(nullptr, "Accept: application/rdap+json, application/json");
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
  curl_easy_setopt(curl, CURLOPT_USERAGENT, "merrowgate/0.9.3.0");
  curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "https,http");
  curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "https");
  curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(curl, CURLOPT_MAXREDIRS, RdapRedirectLimit);
  curl_easy_setopt(curl, CURLOPT_TIMEOUT, static_cast<long>(RdapTimeoutSeconds));
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(RdapAnswerLimit));
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, OnBody);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &transfer);
  curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, OnProgress);
  curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &transfer);
  if (const char* ca = std::getenv(TestCaFileVariable)) curl_easy_setopt(curl, CURLOPT_CAINFO, ca);

  std::string proxy, credentials;
  if (Settings.Enabled) {
    proxy = ProxyUrl();
    curl_easy_setopt(curl, CURLOPT_PROXY, proxy.c_str());
    if (Settings.Type == HTTP) curl_easy_setopt(curl, CURLOPT_HTTPPROXYTUNNEL, 1L);
    if (Settings.UseAuth) {
      char login[ProxyTextCapacity], pass[ProxyTextCapacity];
      CopyText(login, sizeof login, Settings.Login);
      CopyText(pass, sizeof pass, Settings.Pass);
      curl_easy_setopt(curl, CURLOPT_PROXYUSERNAME, login);
      curl_easy_setopt(curl, CURLOPT_PROXYPASSWORD, pass);
    }
  } else {
    curl_easy_setopt(curl, CURLOPT_PROXY, "");  // no proxy from the environment either
  }

  const CURLcode code = curl_easy_perform(curl);
  char* effective = nullptr;
  if (curl_easy_getinfo(curl, CURLINFO_EFFECTIVE_URL, &effective) == CURLE_OK && effective)
    result.Server = UrlHost(effective);
  if (code == CURLE_OK) {
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &result.Status);
  } else if (result.Cancelled || code == CURLE_ABORTED_BY_CALLBACK) {
    result.Cancelled = true;
  } else if (result.TooLarge || code == CURLE_FILESIZE_EXCEEDED) {
    result.TooLarge = true;
    result.Body.clear();
  } else if (code == CURLE_COULDNT_RESOLVE_HOST) {
    result.Error = "Can not resolve host '" + result.Server + "'\n";
  } else if (code == CURLE_COULDNT_RESOLVE_PROXY) {
    result.Error = "Can not resolve host '" + std::string(Settings.Server) + "'\n";
  } else if (code == CURLE_COULDNT_CONNECT) {
    result.Error = "Cannot connect socket\n";
  } else if (code == CURLE_OPERATION_TIMEDOUT) {
    result.Error = "No answer from " + result.Server + " within " + std::to_string(RdapTimeoutSeconds) + " seconds\n";
  } else {
    result.Error = std::string("HTTPS request to ") + result.Server + " failed: " + curl_easy_strerror(code) + "\n";
  }
  curl_slist_free_all(headers);
  curl_easy_cleanup(curl);
}
