// Server texts: a host, optionally followed by ":" and a decimal port. An IPv6
// address goes in brackets when a port follows ("[2001:db8::1]:4343"); alone
// it may stand without them.
#pragma once
#include <string>

constexpr int DefaultWhoisPort = 43;
constexpr int HostTextCapacity = 1024;  // 1023 characters and the terminator
struct ServerAddress {
  char Host[HostTextCapacity];  // without the brackets of an IPv6 address
  int Port;
};
// "host", "host:port", "[v6]", "[v6]:port" and a bare IPv6 address. Otherwise
// the text is split at its first ":", the port read like atoi (platform::ParseLeadingInt), 43 without a
// colon; the host is cut to its capacity. A bare address is recognised by the
// system's parser, so the sockets must be started (StartSockets) first.
ServerAddress SplitServerText(const char* server);
// "host:port", or "[host]:port" when the host is an IPv6 address (has a ":"),
// as in an HTTP CONNECT line and in messages.
std::string FormatHostPort(const char* host, int port);
