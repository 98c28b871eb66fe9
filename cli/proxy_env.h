// The proxy from the environment, as curl and most Unix tools read it:
// ALL_PROXY for every connection, HTTPS_PROXY for RDAP before it, and
// NO_PROXY for the hosts that are reached directly. Used when neither
// --proxy nor an enabled proxy of the settings file applies.
#pragma once
#include <functional>
#include <string>

#include "cli/proxy_url.h"

// The lower-case name of each variable is looked at first, then the upper-case one.
using EnvironmentLookup = std::function<const char*(const char* name)>;

enum class ProxyPurpose { Whois, Rdap };

struct EnvironmentProxy {
  bool Applies = false;  // a proxy is to be used for this host
  ProxyChoice Choice;
  std::string Variable;  // the variable it came from ("all_proxy", "HTTPS_PROXY", ...)
};

// The proxy for a connection to `host` (a name or an address, IPv6 with or
// without brackets). A value without a scheme is an HTTP proxy; an empty one
// means none. False with `error` set (naming the variable) when the value is
// not a proxy URL this program can use.
bool ProxyFromEnvironment(ProxyPurpose purpose, const std::string& host, const EnvironmentLookup& lookup,
                          EnvironmentProxy& result, std::string& error);

// NO_PROXY's rule: "*" alone matches every host; otherwise a comma-separated
// list (blanks around the entries ignored) of names, each matching itself and
// every name below it (a leading "." is ignored, letter case too), and of
// addresses, IPv4 or IPv6 (brackets allowed), optionally with a prefix length
// ("192.168.0.0/16", "fd00::/8"), matching addresses only. Ports are not part
// of it.
bool NoProxyMatches(const std::string& noProxy, const std::string& host);
