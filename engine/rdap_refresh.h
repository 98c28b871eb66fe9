// Keeping the RDAP bootstrap current: IANA's files fetched again when the
// copy in use is more than RdapBootstrapMaxAgeDays old.
#pragma once
#include <string>

constexpr int RdapBootstrapMaxAgeDays = 30;
// Where IANA publishes the files; "NAME.json" is appended.
constexpr const char* RdapBootstrapSource = "https://data.iana.org/rdap/";

// Once per process: fetches each file whose copy in use is old, checks it,
// caches it beside the settings file and uses it. Any failure keeps the old
// copy and says nothing.
void RefreshRdapBootstrapWhenOld();
// The same with another way of fetching (tests).
struct RdapFetch;
using RdapFetcher = void (*)(const std::string& url, RdapFetch& result);
void RefreshRdapBootstrapWith(RdapFetcher fetchRdap);
// Lets the next call try again (tests).
void ResetRdapRefresh();
