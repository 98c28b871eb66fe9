// Shared pieces of the proxy tunnel tests: byte strings, pointing the settings
// at a fake proxy, and scripted answers.
#pragma once
#include <initializer_list>
#include <string>
#include <vector>

#include "settings/settings.h"
#include "tests/support/exchange.h"
#include "tests/support/loopback_server.h"

inline std::string Bytes(std::initializer_list<int> values) {
  std::string s;
  for (int v : values) s += static_cast<char>(v);
  return s;
}

// Sends each packet on its own, a little apart, so a reply split across
// packets is exercised; then, when `whois` is given, answers the query line.
inline void AnswerInPackets(LoopbackConnection& c, const std::vector<std::string>& packets,
                            const std::string& whois = {}) {
  for (size_t i = 0; i < packets.size(); ++i) {
    if (i) c.Pause(50);
    c.Send(packets[i]);
  }
  if (!whois.empty()) {
    c.ReadUntil("\r\n");
    c.Send(whois);
  }
}

inline void UseProxy(const LoopbackServer& proxy, int type) {
  Settings.Enabled = 1;
  Settings.Type = type;
  CopyText(Settings.Server, ProxyTextCapacity, "127.0.0.1");
  Settings.Port = proxy.Port();
}
