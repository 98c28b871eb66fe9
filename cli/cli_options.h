// merrowgate-cli's command line: the options and the query, checked.
#pragma once
#include <string>
#include <vector>

#include "cli/proxy_url.h"

struct CliOptions {
  std::string SettingsPath;  // the settings file to read
  // The queries of the command line, each argument one; with --host, the
  // arguments joined by blanks are one query (it may carry the server's flags).
  std::vector<std::string> Queries;
  std::string ListFile;                        // -f: a file of queries, one a line; "-" for stdin
  long Jobs = 4;                               // lookups at once
  long PerServer = 2;                          // connections to one server at once
  long ExpiresWithin = -1;                     // --expires-within DAYS; -1 when not asked
  int Resolve = -1, Reverse = -1, Abuse = -1;  // -1: as the settings file says
  bool ProxyDebug = false;
  bool Rdap = false;
  bool Json = false;  // one JSON record per query
  bool HaveProxy = false;
  bool NoProxy = false;  // --no-proxy: no proxy from the environment
  ProxyChoice Proxy;
  std::string Colour = "auto";
  bool Quiet = false;
  std::string Host;  // --host with its port; empty for the directory's choice
  bool FirstServerOnly = false;
  long Timeout = 60;
};

// Reads argv into `options` (whose SettingsPath holds the default). True when
// a lookup is to run; otherwise `status` is the exit status: 0 after --help or
// --version (printed), 2 after a bad option (reported on stderr).
bool ParseCommandLine(int argc, char** argv, CliOptions& options, int& status);

// Whether the lookups run as a batch: several queries, or a list file.
inline bool IsBatch(const CliOptions& o) { return o.Queries.size() > 1 || !o.ListFile.empty(); }

// The program's version, as --version prints it.
extern const char CliVersionText[];
