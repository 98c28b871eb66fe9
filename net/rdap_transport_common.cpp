// Pieces of the RDAP transport that do not depend on the HTTP library.
#include "net/rdap_transport.h"

std::string UrlHost(const std::string& url) {
  size_t start = url.find("://");
  start = start == std::string::npos ? 0 : start + 3;
  size_t end = url.find_first_of("/?#", start);
  if (end == std::string::npos) end = url.size();
  std::string host = url.substr(start, end - start);
  const size_t at = host.rfind('@');
  if (at != std::string::npos) host.erase(0, at + 1);
  if (!host.empty() && host[0] == '[') {
    const size_t close = host.find(']');
    return host.substr(1, close == std::string::npos ? std::string::npos : close - 1);
  }
  const size_t colon = host.find(':');
  return colon == std::string::npos ? host : host.substr(0, colon);
}
