// --proxy URL: scheme://[user[:password]@]host[:port] into the proxy settings;
// an IPv6 address as host goes in brackets ("socks5://[::1]:1080") and is
// kept without them.
#pragma once
#include <string>

struct ProxyChoice {
  int Type = 0;     // ProxyType
  int Resolve = 0;  // the proxy resolves the whois server's name
  int UseAuth = 0;
  std::string Server, Login, Pass;
  int Port = 0;
};

// Schemes: http, socks4, socks4a, socks5, socks5h. Default ports 8080 for
// http and 1080 for the SOCKS kinds. Returns false with `error` set.
bool ParseProxyUrl(const std::string& url, ProxyChoice& choice, std::string& error);
