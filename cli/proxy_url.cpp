#include "cli/proxy_url.h"

#include "platform/text.h"
#include "settings/settings.h"

namespace {

// %XX escapes, so that a password may hold ":" or "@".
bool Unescape(const std::string& in, std::string& out) {
  out.clear();
  for (size_t i = 0; i < in.size(); ++i) {
    if (in[i] != '%') {
      out += in[i];
      continue;
    }
    if (i + 2 >= in.size()) return false;
    const int hi = HexDigitValue(in[i + 1]), lo = HexDigitValue(in[i + 2]);
    if (hi < 0 || lo < 0 || (hi == 0 && lo == 0)) return false;
    out += static_cast<char>(hi * 16 + lo);
    i += 2;
  }
  return true;
}

}  // namespace

bool ParseProxyUrl(const std::string& url, ProxyChoice& choice, std::string& error) {
  choice = ProxyChoice{};
  const size_t schemeEnd = url.find("://");
  if (schemeEnd == std::string::npos) {
    error = "proxy URL needs a scheme (http://, socks4://, socks4a://, socks5://, socks5h://)";
    return false;
  }
  const std::string scheme = LowerText(url.substr(0, schemeEnd));
  if (scheme == "http") choice.Type = HTTP, choice.Port = 8080;
  else if (scheme == "socks4") choice.Type = Socks4, choice.Port = 1080;
  else if (scheme == "socks4a") choice.Type = Socks4, choice.Resolve = 1, choice.Port = 1080;
  else if (scheme == "socks5") choice.Type = Socks5, choice.Port = 1080;
  else if (scheme == "socks5h") choice.Type = Socks5, choice.Resolve = 1, choice.Port = 1080;
  else {
    error = "unknown proxy scheme '" + scheme + "'";
    return false;
  }

  std::string rest = url.substr(schemeEnd + 3);
  if (!rest.empty() && rest.back() == '/') rest.pop_back();
  if (rest.find('/') != std::string::npos) {
    error = "proxy URL must not have a path";
    return false;
  }
  const size_t at = rest.rfind('@');
  if (at != std::string::npos) {
    const std::string credentials = rest.substr(0, at);
    rest = rest.substr(at + 1);
    const size_t colon = credentials.find(':');
    if (!Unescape(credentials.substr(0, colon), choice.Login) ||
        (colon != std::string::npos && !Unescape(credentials.substr(colon + 1), choice.Pass))) {
      error = "bad %-escape in proxy credentials";
      return false;
    }
    choice.UseAuth = 1;
  }
  // An IPv6 address goes in brackets, which the server text loses.
  std::string host;
  if (!rest.empty() && rest[0] == '[') {
    const size_t close = rest.find(']');
    if (close == std::string::npos || close == 1 || (close + 1 < rest.size() && rest[close + 1] != ':')) {
      error = "bad IPv6 proxy host '" + rest + "'";
      return false;
    }
    host = rest.substr(1, close - 1);
    rest = rest.substr(close + 1);  // empty or ":port"
  }
  const size_t colon = rest.rfind(':');
  if (colon != std::string::npos) {
    const std::string port = rest.substr(colon + 1);
    rest = rest.substr(0, colon);
    long value = 0;
    if (port.empty() || port.size() > 5) value = -1;
    for (char c : port) value = (c >= '0' && c <= '9' && value >= 0) ? value * 10 + (c - '0') : -1;
    if (value < 1 || value > 65535) {
      error = "bad proxy port '" + port + "'";
      return false;
    }
    choice.Port = static_cast<int>(value);
  }
  if (host.empty()) host = rest;
  if (host.empty()) {
    error = "proxy URL has no host";
    return false;
  }
  choice.Server = host;
  const size_t limit = ProxyTextCapacity - 1;
  if (choice.Server.size() > limit || choice.Login.size() > limit || choice.Pass.size() > limit) {
    error = "proxy host, user and password hold at most 127 characters each";
    return false;
  }
  return true;
}
