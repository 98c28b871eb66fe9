// The whois server directory: which server to ask about a domain name.
#pragma once

#include <cstddef>

struct ServerEntry {
  const char* Key;     // lower case; the empty key ends a table
  const char* Server;  // server text: host, optionally ":" and a port
};

extern const ServerEntry SuffixServers[];  // label.parent, 24 rows
extern const ServerEntry TldServers[];     // top-level labels, 129 rows

// The servers that the whois exchange recognises by their exact text.
extern const char ComNetServer[];
extern const char JpServer[];

// Fixed servers outside the tables.
extern const char AddressRegistryServer[];
extern const char AbuseContactServer[];
extern const char DefaultWhoisServer[];

// The server text of the first matching entry, suffixes first for names of
// three or more labels; nullptr when neither table knows the name.
const char* FindWhoisServer(const char* name);

// What the directory knows about a name's top-level domain.
enum class TldKind {
  Listed,   // a row of SuffixServers or TldServers
  Whois,    // only the registry list knows it, with a port-43 server
  None,     // the registry runs no public port-43 server (RDAP or nothing)
  Web,      // the registry offers a web form only
  Unknown,  // neither the tables nor the registry list know it
};

// One row of the registry list, compiled from data/tld-whois.tsv by
// scripts/gen-tld-table; sorted by Tld in byte order.
struct RegistryTld {
  const char* Tld;  // lower case
  TldKind Kind;
  const char* Server;  // Whois rows only; nullptr otherwise
};
extern const RegistryTld RegistryTlds[];
extern const size_t RegistryTldCount;

// The directory's own tables first, exactly as FindWhoisServer searches them,
// then the registry list by the top-level label. `server` (if given) receives
// the server text for Listed and Whois, nullptr for the other kinds.
TldKind FindTldKind(const char* name, const char** server);
