// IANA updates the bootstrap files a few times a month; a copy older than a
// month is fetched again before the first RDAP query of a run. The refresh is
// a side task of a lookup: it writes nothing to the pane, and a network that
// cannot reach IANA (or a cancel) simply leaves the old copy in use. The
// fresh file is written under a temporary name and renamed, so a reader never
// sees half a file.
#include "engine/rdap_refresh.h"

#include <atomic>
#include <cstdio>
#include <ctime>
#include <fstream>

#include "engine/rdap_bootstrap.h"
#include "net/rdap_transport.h"

namespace {

// Once per process, whichever lookup asks first.
std::atomic<bool> tried{false};

bool IsOld(const RdapServiceTable& table, long long now) {
  const long long published = ParseRdapTimestamp(table.Publication);
  return published < 0 || now - published > static_cast<long long>(RdapBootstrapMaxAgeDays) * 86400;
}

bool WriteCache(const std::string& path, const std::string& text) {
  const std::string temporary = path + ".new";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    if (!out.write(text.data(), static_cast<std::streamsize>(text.size()))) return false;
  }
  std::remove(path.c_str());  // Windows' rename does not replace
  return std::rename(temporary.c_str(), path.c_str()) == 0;
}

}  // namespace

void RefreshRdapBootstrapWhenOld(const ProxyOptions& proxy, StopFlags stop) {
  if (tried.exchange(true)) return;
  const long long now = static_cast<long long>(std::time(nullptr));
  for (int i = 0; i < RdapRegistryCount; ++i) {
    const auto registry = static_cast<RdapRegistry>(i);
    if (!IsOld(*RdapTable(registry), now)) continue;
    RdapFetch fetch;
    FetchRdap(proxy, stop, std::string(RdapBootstrapSource) + RdapRegistryName(registry) + ".json", fetch);
    // No way to IANA (or a cancel): the other files would fail the same way.
    if (fetch.Cancelled || !fetch.Error.empty()) return;
    RdapServiceTable fresh;
    if (fetch.Status != 200 || !ParseRdapBootstrap(fetch.Body, registry, fresh)) continue;
    if (ParseRdapTimestamp(fresh.Publication) < ParseRdapTimestamp(RdapTable(registry)->Publication)) continue;
    const std::string path = RdapCachePath(registry);
    if (!path.empty()) WriteCache(path, fetch.Body);
    UseRdapTable(registry, std::move(fresh));
  }
}

void ResetRdapRefresh() { tried = false; }
