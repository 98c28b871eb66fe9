// The one TCP connection of a whois exchange: connect (directly or through the
// lookup's proxy) and send the query line; the reply is then read from the
// stream below (ReceiveReply, CloseConnection).
#pragma once

#include "net/server_text.h"
#include "net/stream.h"

// A connect that has not completed after this long is given up: every address
// of the server is tried within it, attempts started 250 ms apart (RFC 8305).
constexpr int ConnectSeconds = 30;

// How a ConnectAndSend ended, for callers that try another way when a server
// cannot be reached. With a proxy, ResolveFailed and ConnectFailed concern the
// proxy; the tunnel's failures (also a SOCKS proxy's local lookup of the
// whois server) are ProxyFailed. Every failure has been reported.
enum class ConnectOutcome { Sent, ResolveFailed, ConnectFailed, Cancelled, ProxyFailed, SendFailed };

// Sent when the query line has gone out; the reply is then read from `t`.
ConnectOutcome ConnectAndSend(Transport& t, const char* server, const char* query);
