// The byte stream of the one connection of a whois exchange: sends, the
// waits for the proxy's and the server's bytes (which watch the lookup's stop
// flags and the time limits), the tunnels' failure path and the debug dumps
// of proxy traffic. The connection and the proxy tunnels are built on it; it
// knows neither. Everything works on the lookup's Transport.
#pragma once
#include <cstdint>

#include "net/texts.h"
#include "net/transport.h"

// Closes the exchange's connection, if any, and forgets its clocks; always true.
bool CloseConnection(Transport& t);

// Reports a name that does not resolve: "Can not resolve host '%s'\n".
void ReportResolveFailure(Transport& t, const char* name);

// Sends all bytes; the count sent, or -1.
int SendToConnection(Transport& t, const void* data, int length);

// The reply stream. BeginReply names the whois server for the idle limit's
// message and starts its clock; ReceiveReply gives the bytes read (> 0), 0
// when the server closed, -1 after an error, a cancel or the idle limit
// (already reported). It does not terminate the text.
void BeginReply(Transport& t, const char* host, int port);
int ReceiveReply(Transport& t, char* buffer, int capacity);

// A proxy handshake may take this long in all, however the proxy trickles.
constexpr int ProxyHandshakeSeconds = 30;
// Starts the handshake's clock; the proxy's Debug option turns the dumps on.
void BeginProxyHandshake(Transport& t);
// One receive from the proxy; the count, 0 on close, -1 on error or when the
// wait was given up.
int ReceiveFromConnection(Transport& t, void* buffer, int capacity);
// Receives until `count` bytes have come, or the peer closes or fails; returns
// how many came, so a reply split over several packets arrives whole.
int ReceiveFullFromConnection(Transport& t, void* buffer, int count);
// True when a wait for the proxy ended by the user's cancel (or shutdown) or
// by the handshake's time limit, which has been reported; the tunnel then
// gives up quietly.
bool TunnelAborted(const Transport& t);

// A tunnel's failure: its text as Error, the connection closed, false.
bool FailTunnel(Transport& t, ProxyFailure failure);

// Debug dumps of proxy traffic, shown only when the handshake has them on.
void ProxyDump(Transport& t, const char* header, const char* body);
// A packet listing: one line per byte, "packet[i] -> v 'c'" or "packet[i] -> v".
void ProxyDumpPacket(Transport& t, const char* header, const unsigned char* bytes, int count);
