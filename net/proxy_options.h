// The proxy options one exchange runs with, taken from the settings once at
// its start and handed to the tunnels as a value.
#pragma once

#include "settings/settings.h"

struct ProxyOptions {
  bool Enabled = false;  // connect through the proxy
  int Type = HTTP;       // ProxyType
  char Server[ProxyTextCapacity] = {};
  int Port = 0;
  bool UseAuth = false;
  bool Resolve = false;  // the proxy resolves the whois server's name
  char Login[ProxyTextCapacity] = {};
  char Pass[ProxyTextCapacity] = {};
  bool Debug = false;  // dump the proxy traffic
};

// A consistent copy of the proxy fields of `Settings`.
ProxyOptions SnapshotProxyOptions();
