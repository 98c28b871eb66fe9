// merrowgate-cli's command line: the options and the query, checked.
#pragma once
#include <string>

#include "cli/proxy_url.h"

struct CliOptions {
  std::string SettingsPath;  // the settings file to read
  std::string Query;         // the arguments that are not options, joined by blanks
  int Resolve = -1, Reverse = -1, Abuse = -1;  // -1: as the settings file says
  bool ProxyDebug = false;
  bool Rdap = false;
  bool Json = false;
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

// The program's version, as --version prints it.
extern const char CliVersionText[];
