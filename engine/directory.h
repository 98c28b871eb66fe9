// The whois server directory: which server to ask about a domain name.
#pragma once

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
