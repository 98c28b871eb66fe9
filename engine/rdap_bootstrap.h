// Which RDAP service answers for a domain, an address or an AS number: IANA's
// bootstrap registries (RFC 9224), built in and refreshed from IANA.
#pragma once
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

enum class RdapRegistry : int { Dns = 0, Ipv4 = 1, Ipv6 = 2, Asn = 3 };
constexpr int RdapRegistryCount = 4;
// "dns", "ipv4", "ipv6", "asn": IANA's file names without ".json".
const char* RdapRegistryName(RdapRegistry registry);

// One registry's services, as read from IANA's JSON form.
struct RdapServiceTable {
  std::string Publication;  // as published; empty when the file has none
  struct Name {
    std::string Key;  // lower case, without a trailing dot
    std::string Url;
  };
  struct Prefix {
    std::uint8_t Bytes[16];  // an IPv4 prefix uses the first four
    int Length;
    std::string Url;
  };
  struct Range {
    std::uint32_t First, Last;
    std::string Url;
  };
  std::vector<Name> Names;  // sorted by Key
  std::vector<Prefix> Prefixes;
  std::vector<Range> Ranges;
  // Keys listed with no URL that may be asked (plain http only), as written.
  std::vector<std::string> Unserved;
};
// A file listing more keys without a usable service keeps only this many.
constexpr std::size_t RdapUnservedLimit = 4096;

// Reads one bootstrap file. False when it is not one of `registry`'s kind or
// names no service at all. Each entry's first https URL is kept; an entry
// without one adds its keys to Unserved.
bool ParseRdapBootstrap(const std::string& text, RdapRegistry registry, RdapServiceTable& out);

// True when `fresh` lists, without an https service, a key that `inUse`
// serves over https: taking it would lose that service.
bool LosesHttpsService(const RdapServiceTable& inUse, const RdapServiceTable& fresh, RdapRegistry registry);

// The base URL for a name (longest matching label suffix), an address (longest
// matching prefix) or an AS number; empty when the table has none.
std::string FindDomainService(const RdapServiceTable& table, const std::string& name);
std::string FindAddressService(const RdapServiceTable& table, const std::uint8_t* bytes, int bits);
std::string FindAsnService(const RdapServiceTable& table, std::uint32_t number);

// Address texts as the query's address forms read them (ParseDottedQuad and
// ParseIPv6Address): dotted IPv4 (4 bytes) or IPv6 (16 bytes).
bool ParseIPv4Text(const std::string& text, std::uint8_t bytes[4]);
bool ParseIPv6Text(const std::string& text, std::uint8_t bytes[16]);

// Seconds since 1970 of an RFC 3339 "YYYY-MM-DDTHH:MM:SSZ" text; -1 if it is not one.
long long ParseRdapTimestamp(const std::string& text);

// What an RDAP query asks about, and where: "domain/NAME", "ip/ADDRESS" or
// "autnum/N" after the service's base URL. `object` is a domain name, an
// address or prefix, or "AS" and a number. Empty when no service is known.
std::string RdapQueryUrl(const std::string& object);

// The tables in use: the cached copy beside the settings file when it is newer
// than the built-in one, else the built-in one. Loaded at first use; shared by
// every lookup of the process.
std::shared_ptr<const RdapServiceTable> RdapTable(RdapRegistry registry);
// Replaces a table in use (after a refresh); the text has been checked.
void UseRdapTable(RdapRegistry registry, RdapServiceTable table);

// Where fresh copies are cached: "merrowgate-rdap-NAME.json" in this folder
// (the settings file's). Empty: beside the default settings file.
void SetRdapCacheFolder(const std::string& folder);
std::string RdapCachePath(RdapRegistry registry);
// A cached copy larger than this is not read.
constexpr std::size_t RdapCacheFileLimit = 4u * 1024u * 1024u;
// Forgets the loaded tables and the refresh, for tests.
void ResetRdapBootstrap();

// The built-in copies (generated from data/rdap/).
extern const char RdapBuiltIn_dns[];
extern const char RdapBuiltIn_ipv4[];
extern const char RdapBuiltIn_ipv6[];
extern const char RdapBuiltIn_asn[];
// Their "publication" values; empty when a file has none.
extern const char RdapBuiltInPublication_dns[];
extern const char RdapBuiltInPublication_ipv4[];
extern const char RdapBuiltInPublication_ipv6[];
extern const char RdapBuiltInPublication_asn[];
