// The SOCKS tunnels' own lookup of the whois server, when the proxy is not to
// resolve its name.
#pragma once

#include "platform/sockets.h"

// The address a tunnel names the whois server by: an IPv4 address when the
// host has one (the first), else its first IPv6 address. False when the host
// has no address at all.
bool LookUpTunnelAddress(const char* host, platform::SocketAddress& address);
// True when the host is an IPv6 address (bare or in brackets).
bool IsIPv6Text(const char* host);
