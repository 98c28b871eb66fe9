// The proxy one exchange goes through: a value the front end fills (the
// window from its settings, the console from --proxy or the environment) and
// the transport copies at the start of each lookup.
#pragma once

// Kinds of proxy, by their position in the proxy dialog's list.
enum ProxyType : int { HTTP = 0, Socks4 = 1, Socks5 = 2 };

// Capacity of the proxy's text fields, terminator included.
constexpr int ProxyTextCapacity = 128;

struct ProxyOptions {
  bool Enabled = false;  // connect through the proxy
  int Type = HTTP;       // ProxyType
  char Server[ProxyTextCapacity] = {};
  int Port = 0;
  bool UseAuth = false;
  bool Resolve = false;  // the proxy resolves the whois server's name
  char Login[ProxyTextCapacity] = {};
  char Pass[ProxyTextCapacity] = {};
  bool Debug = false;  // dump the proxy traffic
};
