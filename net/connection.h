// The one TCP connection of a whois exchange: connect (directly or through the
// proxy tunnel) and send the query line; the reply is then read from the
// stream below (ReceiveReply, CloseConnection).
#pragma once

#include "net/stream.h"

// A server text is a host, optionally followed by ":" and a decimal port.
constexpr int DefaultWhoisPort = 43;
constexpr int HostTextCapacity = 1024;  // 1023 characters and the terminator
struct ServerAddress {
  char Host[HostTextCapacity];
  int Port;
};
// Splits at the first ":"; the port is read like atoi, 43 without a colon.
ServerAddress SplitServerText(const char* server);
// atoi without its undefined overflow: leading blanks, a sign, digits, 32-bit wrap.
int ParseLeadingInt(const char* text);

// A connect that has not completed after this long is given up.
constexpr int ConnectSeconds = 30;

// True when the query line has been sent; false after a failure that has
// already been reported.
bool ConnectAndSend(const char* server, const char* query);

// How the last ConnectAndSend ended, for callers that try another way when a
// server cannot be reached. With a proxy, ResolveFailed and ConnectFailed
// concern the proxy; the tunnel's failures (also a SOCKS proxy's local lookup
// of the whois server) are ProxyFailed.
enum class ConnectOutcome { Sent, ResolveFailed, ConnectFailed, Cancelled, ProxyFailed, SendFailed };
ConnectOutcome LastConnectOutcome();
