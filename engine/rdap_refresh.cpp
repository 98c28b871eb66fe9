// IANA updates the bootstrap files a few times a month; a copy older than a
// month is fetched again before the first RDAP query of a run. The refresh is
// a side task of a lookup: it writes nothing to the pane, and a network that
// cannot reach IANA (or a cancel) simply leaves the old copy in use. The
// fresh file is written under a temporary name and renamed, so a reader never
// sees half a file.
#include "engine/rdap_refresh.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <ctime>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

#include "engine/rdap_bootstrap.h"
#include "net/rdap_transport.h"

namespace {

// Once per process, whichever lookup asks first.
std::atomic<bool> tried{false};

bool IsOld(const RdapServiceTable& table, long long now) {
  const long long published = ParseRdapTimestamp(table.Publication);
  return published < 0 || now - published > static_cast<long long>(RdapBootstrapMaxAgeDays) * 86400;
}

// The temporary file is created, never opened if it is there: whatever is
// found under its name (a copy left by a crash, or a link someone planted to
// have another file overwritten) is removed as a name, and a second find
// gives up.
bool WriteNewFile(const std::string& path, const std::string& text) {
  for (int attempt = 0; attempt < 2; ++attempt) {
#ifdef _WIN32
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
      if (GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS) return false;
      std::remove(path.c_str());
      continue;
    }
    DWORD written = 0;
    const bool ok = WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
                    written == text.size();
    const bool closed = CloseHandle(file) != 0;
#else
    const int file = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (file < 0) {
      if (errno != EEXIST) return false;
      unlink(path.c_str());
      continue;
    }
    bool ok = true;
    for (size_t done = 0; ok && done < text.size();) {
      const ssize_t n = write(file, text.data() + done, text.size() - done);
      if (n < 0 && errno == EINTR) continue;
      ok = n > 0;
      if (ok) done += static_cast<size_t>(n);
    }
    const bool closed = close(file) == 0;
#endif
    if (ok && closed) return true;
    std::remove(path.c_str());
    return false;
  }
  return false;
}

bool WriteCache(const std::string& path, const std::string& text) {
  const std::string temporary = path + ".new";
  if (!WriteNewFile(temporary, text)) return false;
  std::remove(path.c_str());  // Windows' rename does not replace
  if (std::rename(temporary.c_str(), path.c_str()) == 0) return true;
  std::remove(temporary.c_str());
  return false;
}

}  // namespace

void RefreshRdapBootstrapWhenOld(const ProxyOptions& proxy, StopFlags stop) {
  RefreshRdapBootstrapWith(FetchRdap, proxy, stop);
}

void RefreshRdapBootstrapWith(RdapFetcher fetchRdap, const ProxyOptions& proxy, StopFlags stop) {
  if (tried.exchange(true)) return;
  const long long now = static_cast<long long>(std::time(nullptr));
  for (int i = 0; i < RdapRegistryCount; ++i) {
    const auto registry = static_cast<RdapRegistry>(i);
    if (!IsOld(*RdapTable(registry), now)) continue;
    RdapFetch fetch;
    fetchRdap(proxy, stop, std::string(RdapBootstrapSource) + RdapRegistryName(registry) + ".json", fetch);
    // No way to IANA (or a cancel): the other files would fail the same way.
    if (fetch.Cancelled || !fetch.Error.empty()) return;
    RdapServiceTable fresh;
    if (fetch.Status != 200 || !ParseRdapBootstrap(fetch.Body, registry, fresh)) continue;
    if (ParseRdapTimestamp(fresh.Publication) < ParseRdapTimestamp(RdapTable(registry)->Publication)) continue;
    // A copy that would send a registry's queries to plain http instead of
    // the https service in use is not taken, neither used nor cached.
    if (LosesHttpsService(*RdapTable(registry), fresh, registry)) continue;
    const std::string path = RdapCachePath(registry);
    if (!path.empty()) WriteCache(path, fetch.Body);
    UseRdapTable(registry, std::move(fresh));
  }
}

void ResetRdapRefresh() { tried = false; }
