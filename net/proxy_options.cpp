#include "net/proxy_options.h"

// Under the lock the proxy dialog holds while it stores, so that the copy
// never mixes the old server with the new port, or half of a new password.
ProxyOptions SnapshotProxyOptions() {
  ProxyOptions options;
  std::lock_guard<std::mutex> lock(ProxyOptionsLock);
  options.Enabled = Settings.Enabled != 0;
  options.Type = Settings.Type;
  CopyText(options.Server, ProxyTextCapacity, Settings.Server);
  options.Port = Settings.Port;
  options.UseAuth = Settings.UseAuth != 0;
  options.Resolve = Settings.Resolve != 0;
  CopyText(options.Login, ProxyTextCapacity, Settings.Login);
  CopyText(options.Pass, ProxyTextCapacity, Settings.Pass);
  options.Debug = Settings.Debug != 0;
  return options;
}
