// IANA publishes one JSON file per kind of registry object (RFC 9224):
//   {"publication": "...", "services": [ [ [keys...], [urls...] ], ... ]}
// Keys are DNS labels (matched as the longest suffix of a name), address
// prefixes (longest match) or AS number ranges "first-last". The files are
// read into small tables once; the cached fresh copy wins when it is newer.
#include "engine/rdap_bootstrap.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <mutex>
#include <sstream>
#include <string_view>

#include "engine/address_form.h"
#include "engine/rdap_json.h"
#include "net/rdap_url.h"
#include "platform/decimal.h"
#include "platform/text.h"
#include "settings/settings.h"

using nlohmann::json;

namespace {

// The first URL of a service entry that may be asked (https, no user
// information: see RdapUrlRefusal), else empty; a base URL always ends in "/"
// so that paths can be appended. A service offered over plain http only is
// not used: its answers and redirects would travel in clear text.
std::string PickUrl(const json& urls) {
  for (const json& u : urls) {
    if (!u.is_string()) continue;
    std::string text = u.get<std::string>();
    if (!RdapUrlRefusal(text).empty()) continue;
    if (text.back() != '/') text += '/';
    return text;
  }
  return {};
}

// An AS number or a prefix length: at most ten decimal digits, below 2^32.
bool ParseUint32(const std::string& text, std::uint32_t& value) {
  long long number;
  if (text.size() > 10 || !platform::ParseDecimal(text.data(), text.size(), 0, 0xFFFFFFFFll, number)) return false;
  value = static_cast<std::uint32_t>(number);
  return true;
}

bool ParsePrefix(const std::string& key, bool v6, RdapServiceTable::Prefix& prefix) {
  const size_t slash = key.find('/');
  const std::string address = key.substr(0, slash);
  std::memset(prefix.Bytes, 0, sizeof prefix.Bytes);
  const int maxBits = v6 ? 128 : 32;
  if (!(v6 ? ParseIPv6Text(address, prefix.Bytes) : ParseIPv4Text(address, prefix.Bytes))) return false;
  std::uint32_t length = static_cast<std::uint32_t>(maxBits);
  if (slash != std::string::npos && (!ParseUint32(key.substr(slash + 1), length) || length > 128)) return false;
  if (static_cast<int>(length) > maxBits) return false;
  prefix.Length = static_cast<int>(length);
  return true;
}

bool PrefixCovers(const std::uint8_t* prefix, int length, const std::uint8_t* bytes) {
  const int whole = length / 8, rest = length % 8;
  if (std::memcmp(prefix, bytes, static_cast<size_t>(whole)) != 0) return false;
  if (rest == 0) return true;
  const std::uint8_t mask = static_cast<std::uint8_t>(0xFF << (8 - rest));
  return (prefix[whole] & mask) == (bytes[whole] & mask);
}

}  // namespace

const char* RdapRegistryName(RdapRegistry registry) {
  switch (registry) {
    case RdapRegistry::Dns: return "dns";
    case RdapRegistry::Ipv4: return "ipv4";
    case RdapRegistry::Ipv6: return "ipv6";
    case RdapRegistry::Asn: return "asn";
  }
  return "dns";
}

bool ParseIPv4Text(const std::string& text, std::uint8_t bytes[4]) {
  return ParseDottedQuad(text.data(), text.data() + text.size(), bytes);
}

bool ParseIPv6Text(const std::string& text, std::uint8_t bytes[16]) {
  return ParseIPv6Address(text.data(), text.data() + text.size(), bytes);
}

long long ParseRdapTimestamp(const std::string& text) {
  int y, mo, d, h, mi, s;
  char t, z;
  if (text.size() < 20 ||
      std::sscanf(text.c_str(), "%4d-%2d-%2d%c%2d:%2d:%2d%c", &y, &mo, &d, &t, &h, &mi, &s, &z) != 8)
    return -1;
  if (mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || s > 60 || (t != 'T' && t != 't')) return -1;
  // Days from the civil date (proleptic Gregorian), then seconds.
  const int yy = y - (mo <= 2);
  const int era = (yy >= 0 ? yy : yy - 399) / 400;
  const int yoe = yy - era * 400;
  const int doy = (153 * (mo + (mo > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  const long long days = static_cast<long long>(era) * 146097 + doe - 719468;
  return days * 86400 + h * 3600 + mi * 60 + s;
}

bool ParseRdapBootstrap(const std::string& text, RdapRegistry registry, RdapServiceTable& out) {
  json doc;
  if (ParseBoundedJson(text, doc) != JsonVerdict::Parsed || !doc.is_object()) return false;
  out = RdapServiceTable{};
  const auto publication = doc.find("publication");
  if (publication != doc.end() && publication->is_string()) out.Publication = publication->get<std::string>();
  const auto services = doc.find("services");
  if (services == doc.end() || !services->is_array()) return false;
  for (const json& service : *services) {
    if (!service.is_array() || service.size() < 2 || !service[0].is_array() || !service[1].is_array()) continue;
    const std::string url = PickUrl(service[1]);
    for (const json& k : service[0]) {
      if (!k.is_string()) continue;
      std::string key = LowerText(k.get<std::string>());
      if (url.empty()) {
        if (out.Unserved.size() < RdapUnservedLimit) out.Unserved.push_back(std::move(key));
        continue;
      }
      switch (registry) {
        case RdapRegistry::Dns:
          while (!key.empty() && key.back() == '.') key.pop_back();
          if (!key.empty()) out.Names.push_back({key, url});
          break;
        case RdapRegistry::Ipv4:
        case RdapRegistry::Ipv6: {
          RdapServiceTable::Prefix prefix;
          if (ParsePrefix(key, registry == RdapRegistry::Ipv6, prefix)) {
            prefix.Url = url;
            out.Prefixes.push_back(prefix);
          }
          break;
        }
        case RdapRegistry::Asn: {
          const size_t dash = key.find('-');
          std::uint32_t first, last;
          if (!ParseUint32(key.substr(0, dash), first)) break;
          last = first;
          if (dash != std::string::npos && !ParseUint32(key.substr(dash + 1), last)) break;
          if (last >= first) out.Ranges.push_back({first, last, url});
          break;
        }
      }
    }
  }
  // Sorted by key for the binary search; of a key listed twice the first
  // service is kept.
  using Name = RdapServiceTable::Name;
  std::stable_sort(out.Names.begin(), out.Names.end(), [](const Name& a, const Name& b) { return a.Key < b.Key; });
  const auto sameKey = [](const Name& a, const Name& b) { return a.Key == b.Key; };
  out.Names.erase(std::unique(out.Names.begin(), out.Names.end(), sameKey), out.Names.end());
  return !out.Names.empty() || !out.Prefixes.empty() || !out.Ranges.empty();
}

// A key is lost when the copy in use serves it and the fresh one, which
// lists it without https, does not serve it through another entry either.
bool LosesHttpsService(const RdapServiceTable& inUse, const RdapServiceTable& fresh, RdapRegistry registry) {
  const auto lost = [](const std::string& before, const std::string& after) {
    return !before.empty() && after.empty();
  };
  for (const std::string& key : fresh.Unserved) {
    switch (registry) {
      case RdapRegistry::Dns:
        if (lost(FindDomainService(inUse, key), FindDomainService(fresh, key))) return true;
        break;
      case RdapRegistry::Ipv4:
      case RdapRegistry::Ipv6: {
        RdapServiceTable::Prefix p;
        if (ParsePrefix(key, registry == RdapRegistry::Ipv6, p) &&
            lost(FindAddressService(inUse, p.Bytes, p.Length), FindAddressService(fresh, p.Bytes, p.Length)))
          return true;
        break;
      }
      case RdapRegistry::Asn: {
        std::uint32_t first;
        if (ParseUint32(key.substr(0, key.find('-')), first) &&
            lost(FindAsnService(inUse, first), FindAsnService(fresh, first)))
          return true;
        break;
      }
    }
  }
  return false;
}

std::string FindDomainService(const RdapServiceTable& table, const std::string& name) {
  std::string key = LowerText(name);
  while (!key.empty() && key.back() == '.') key.pop_back();
  // Longest match: the whole name first, then without its first label, ...
  const auto byKey = [](const RdapServiceTable::Name& entry, std::string_view k) { return entry.Key < k; };
  for (size_t start = 0; start < key.size();) {
    const std::string_view suffix = std::string_view(key).substr(start);
    const auto found = std::lower_bound(table.Names.begin(), table.Names.end(), suffix, byKey);
    if (found != table.Names.end() && found->Key == suffix) return found->Url;
    const size_t dot = key.find('.', start);
    if (dot == std::string::npos) break;
    start = dot + 1;
  }
  return {};
}

std::string FindAddressService(const RdapServiceTable& table, const std::uint8_t* bytes, int bits) {
  const RdapServiceTable::Prefix* best = nullptr;
  for (const auto& prefix : table.Prefixes)
    if (prefix.Length <= bits && PrefixCovers(prefix.Bytes, prefix.Length, bytes) &&
        (!best || prefix.Length > best->Length))
      best = &prefix;
  return best ? best->Url : std::string();
}

std::string FindAsnService(const RdapServiceTable& table, std::uint32_t number) {
  for (const auto& range : table.Ranges)
    if (number >= range.First && number <= range.Last) return range.Url;
  return {};
}

std::string RdapQueryUrl(const std::string& object) {
  if (object.empty() || object.size() > 255) return {};
  // "AS15169" or "as15169"
  std::uint32_t asn;
  if (StartsWithIgnoringCase(object, "AS") && ParseUint32(object.substr(2), asn)) {
    const std::string base = FindAsnService(*RdapTable(RdapRegistry::Asn), asn);
    return base.empty() ? base : base + "autnum/" + std::to_string(asn);
  }
  const size_t slash = object.find('/');
  const std::string address = object.substr(0, slash);
  std::uint8_t bytes[16] = {};
  std::uint32_t length = 0;
  const bool hasLength = slash != std::string::npos;
  if (hasLength && !ParseUint32(object.substr(slash + 1), length)) return {};
  if (ParseIPv4Text(address, bytes)) {
    if (hasLength && length > 32) return {};
    const std::string base = FindAddressService(*RdapTable(RdapRegistry::Ipv4), bytes,
                                                hasLength ? static_cast<int>(length) : 32);
    return base.empty() ? base : base + "ip/" + object;
  }
  if (ParseIPv6Text(address, bytes)) {
    if (hasLength && length > 128) return {};
    const std::string base = FindAddressService(*RdapTable(RdapRegistry::Ipv6), bytes,
                                                hasLength ? static_cast<int>(length) : 128);
    return base.empty() ? base : base + "ip/" + object;
  }
  if (hasLength) return {};
  std::string name = LowerText(object);
  while (!name.empty() && name.back() == '.') name.pop_back();
  // Only host-name characters reach a URL path.
  for (const char c : name)
    if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '_')) return {};
  const std::string base = FindDomainService(*RdapTable(RdapRegistry::Dns), name);
  return base.empty() ? base : base + "domain/" + name;
}

namespace {

// The shared cache: every lookup reads the same tables, loaded at first use
// and replaced whole by a refresh, all under one lock; a lookup keeps the copy
// it was handed for as long as it uses it.
struct BootstrapCache {
  std::mutex Lock;
  std::string Folder;
  std::shared_ptr<const RdapServiceTable> Tables[RdapRegistryCount];
};
BootstrapCache& Cache() {
  static BootstrapCache cache;
  return cache;
}

const char* BuiltIn(RdapRegistry registry) {
  switch (registry) {
    case RdapRegistry::Dns: return RdapBuiltIn_dns;
    case RdapRegistry::Ipv4: return RdapBuiltIn_ipv4;
    case RdapRegistry::Ipv6: return RdapBuiltIn_ipv6;
    case RdapRegistry::Asn: return RdapBuiltIn_asn;
  }
  return RdapBuiltIn_dns;
}

const char* BuiltInPublication(RdapRegistry registry) {
  switch (registry) {
    case RdapRegistry::Dns: return RdapBuiltInPublication_dns;
    case RdapRegistry::Ipv4: return RdapBuiltInPublication_ipv4;
    case RdapRegistry::Ipv6: return RdapBuiltInPublication_ipv6;
    case RdapRegistry::Asn: return RdapBuiltInPublication_asn;
  }
  return RdapBuiltInPublication_dns;
}

// A cached copy larger than an answer may be is not read, nor is anything
// whose size cannot be told (a device or pipe someone put in its place).
bool ReadCacheFile(const std::string& path, std::string& text) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  if (!in) return false;
  const std::streamoff size = in.tellg();
  if (size < 0 || static_cast<unsigned long long>(size) > RdapCacheFileLimit) return false;
  text.resize(static_cast<size_t>(size));
  in.seekg(0);
  return in.read(&text[0], size) && in.gcount() == size;
}

}  // namespace

void SetRdapCacheFolder(const std::string& folder) {
  std::lock_guard<std::mutex> lock(Cache().Lock);
  Cache().Folder = folder;
}

std::string RdapCachePath(RdapRegistry registry) {
  std::string folder;
  {
    std::lock_guard<std::mutex> lock(Cache().Lock);
    folder = Cache().Folder;
  }
  if (folder.empty()) {
    folder = SettingsFilePath();
    const size_t slash = folder.find_last_of("/\\");
    folder.erase(slash == std::string::npos ? 0 : slash + 1);
    if (folder.empty()) return {};
  } else if (folder.back() != '/' && folder.back() != '\\') {
#ifdef _WIN32
    folder += '\\';
#else
    folder += '/';
#endif
  }
  return folder + "merrowgate-rdap-" + RdapRegistryName(registry) + ".json";
}

// The built-in copy is read only when no newer cached one is there: once a
// refresh has cached IANA's current file, that is the only one parsed.
std::shared_ptr<const RdapServiceTable> RdapTable(RdapRegistry registry) {
  const int i = static_cast<int>(registry);
  {
    std::lock_guard<std::mutex> lock(Cache().Lock);
    if (Cache().Tables[i]) return Cache().Tables[i];
  }
  // Loaded outside the lock; two lookups that load at once keep the first.
  auto table = std::make_shared<RdapServiceTable>();
  std::string text;
  const std::string path = RdapCachePath(registry);
  const bool cachedIsNewer = !path.empty() && ReadCacheFile(path, text) && ParseRdapBootstrap(text, registry, *table) &&
                             ParseRdapTimestamp(table->Publication) > ParseRdapTimestamp(BuiltInPublication(registry));
  if (!cachedIsNewer) {
    *table = RdapServiceTable{};
    ParseRdapBootstrap(BuiltIn(registry), registry, *table);
  }
  std::lock_guard<std::mutex> lock(Cache().Lock);
  if (!Cache().Tables[i]) Cache().Tables[i] = std::move(table);
  return Cache().Tables[i];
}

void UseRdapTable(RdapRegistry registry, RdapServiceTable table) {
  auto fresh = std::make_shared<const RdapServiceTable>(std::move(table));
  std::lock_guard<std::mutex> lock(Cache().Lock);
  Cache().Tables[static_cast<int>(registry)] = std::move(fresh);
}

void ResetRdapBootstrap() {
  std::lock_guard<std::mutex> lock(Cache().Lock);
  for (auto& table : Cache().Tables) table.reset();
}
