// Pieces of the RDAP transport that do not depend on the HTTP library.
#include "net/rdap_transport.h"
#include "net/rdap_url.h"

namespace {

// Where the authority of "scheme://authority/path" ends.
size_t AuthorityEnd(const std::string& url, size_t start) {
  const size_t end = url.find_first_of("/?#", start);
  return end == std::string::npos ? url.size() : end;
}

// The position of the "@" that ends the user information, or npos. RFC 3986
// allows no "@" in a host, so the last one in the authority ends it.
size_t UserInfoEnd(const std::string& url) {
  const size_t scheme = url.find("://");
  if (scheme == std::string::npos) return std::string::npos;
  const size_t start = scheme + 3;
  const size_t at = url.rfind('@', AuthorityEnd(url, start));
  return at == std::string::npos || at < start ? std::string::npos : at;
}

// "file:", "http:", ...: the scheme of a URL for messages, never more of it.
std::string SchemeOf(const std::string& url) {
  const size_t colon = url.find(':');
  if (colon == std::string::npos || colon == 0 || colon > 16) return {};
  for (size_t i = 0; i < colon; ++i) {
    const char c = url[i];
    if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '+' || c == '-' ||
          c == '.'))
      return {};
  }
  return url.substr(0, colon + 1);
}

}  // namespace

std::string UrlHost(const std::string& url) {
  size_t start = url.find("://");
  start = start == std::string::npos ? 0 : start + 3;
  std::string host = url.substr(start, AuthorityEnd(url, start) - start);
  const size_t at = host.rfind('@');
  if (at != std::string::npos) host.erase(0, at + 1);
  if (!host.empty() && host[0] == '[') {
    const size_t close = host.find(']');
    return host.substr(1, close == std::string::npos ? std::string::npos : close - 1);
  }
  const size_t colon = host.find(':');
  return colon == std::string::npos ? host : host.substr(0, colon);
}

std::string UrlWithoutUserInfo(const std::string& url) {
  const size_t at = UserInfoEnd(url);
  if (at == std::string::npos) return url;
  const size_t start = url.find("://") + 3;
  return url.substr(0, start) + url.substr(at + 1);
}

// A URL with user information would make the HTTP library send it as Basic
// authorization to whoever serves the link; RFC 9110 (4.2.4) has senders
// refuse such http(s) URLs. Plain http would show a registry's answer
// (and its redirects) to anyone on the way.
std::string RdapUrlRefusal(const std::string& url) {
  if (url.size() > RdapUrlLimit)
    return "RDAP address longer than " + std::to_string(RdapUrlLimit) + " characters: refused\n";
  for (const char c : url)
    if (static_cast<unsigned char>(c) <= ' ' || c == '\x7f')
      return "RDAP address with a blank or control character: refused\n";
  // Every bootstrap entry comes through here: the address is cut for the
  // message only when there is one.
  const auto refused = [&url](const char* why) {
    return "RDAP address " + UrlWithoutUserInfo(url).substr(0, 80) + why;
  };
  if (UserInfoEnd(url) != std::string::npos) return refused(" carries a user name or password: refused\n");
  if (url.compare(0, 8, "https://") != 0) return refused(" is not an https address: refused\n");
  if (UrlHost(url).empty()) return refused(" names no host: refused\n");
  return {};
}

std::string RedirectRefusal(const std::string& host, const std::string& target) {
  const std::string scheme = SchemeOf(target);
  const std::string where = UserInfoEnd(target) != std::string::npos ? "an address with a user name or password"
                            : scheme.empty()                         ? "an address that is not https"
                                                                     : "\"" + scheme + "\"";
  return "HTTPS request to " + host + " failed: a redirect to " + where + " was not followed (only https is)\n";
}

std::string RedirectTarget(const std::string& base, const std::string& reference) {
  const std::string ref = reference.substr(0, reference.find('#'));
  if (!SchemeOf(ref).empty()) return ref;
  const size_t scheme = base.find("://");
  if (scheme == std::string::npos) return ref;
  if (ref.compare(0, 2, "//") == 0) return base.substr(0, scheme + 1) + ref;
  const size_t pathStart = AuthorityEnd(base, scheme + 3);
  const std::string origin = base.substr(0, pathStart);
  if (!ref.empty() && ref[0] == '/') return origin + ref;
  const std::string path = base.substr(pathStart, base.find_first_of("?#", pathStart) - pathStart);
  if (ref.empty() || ref[0] == '?') return origin + (path.empty() ? "/" : path) + ref;
  const size_t slash = path.rfind('/');
  return origin + (slash == std::string::npos ? "/" : path.substr(0, slash + 1)) + ref;
}
