// Keeping the RDAP bootstrap current: IANA's files fetched again when the
// copy in use is more than RdapBootstrapMaxAgeDays old.
#pragma once
#include <string>

#include "net/proxy_options.h"
#include "net/transport.h"

constexpr int RdapBootstrapMaxAgeDays = 30;
// Where IANA publishes the files; "NAME.json" is appended.
constexpr const char* RdapBootstrapSource = "https://data.iana.org/rdap/";

// Once per process, through the asking lookup's proxy: fetches each file whose copy in use is old, checks it,
// caches it beside the settings file and uses it. Any failure keeps the old
// copy and says nothing.
void RefreshRdapBootstrapWhenOld(const ProxyOptions& proxy, StopFlags stop);
// The same with another way of fetching (tests).
struct RdapFetch;
using RdapFetcher = void (*)(const ProxyOptions& proxy, StopFlags stop, const std::string& url, RdapFetch& result);
void RefreshRdapBootstrapWith(RdapFetcher fetchRdap, const ProxyOptions& proxy, StopFlags stop);
// Lets the next call try again (tests).
void ResetRdapRefresh();
