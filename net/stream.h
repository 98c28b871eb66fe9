// The byte stream of the one connection of a whois exchange: the socket slot,
// sends, the waits for the proxy's and the server's bytes (which watch the
// cancel and quit flags and the time limits), the tunnels' failure path and
// the debug dumps of proxy traffic. The connection and the proxy tunnels are
// built on it; it knows neither.
#pragma once
#include <atomic>
#include <cstdint>

#include "platform/sockets.h"

// Written by the user-interface thread, read by the worker without a lock.
// CancelFlag: 1 asks the running lookup to stop. QuitFlag: 1 tells the worker
// to end; the transport treats it as a cancel so shutdown is never held up by
// a silent server.
extern std::atomic<int> CancelFlag;
extern std::atomic<int> QuitFlag;
// True when either flag asks the transport to give up.
bool CancelRequested();

// The socket of the exchange in progress, or InvalidSocket.
extern platform::Socket CurrentConnection;
// Closes the current connection, if any; always true.
bool CloseConnection();

// What a cancel of a wait prints.
extern const char AbortedByUserText[];
// Reports a name that does not resolve: "Can not resolve host '%s'\n".
void ReportResolveFailure(const char* name);

// Sends all bytes; the count sent, or -1.
int SendToConnection(const void* data, int length);

// The reply stream. BeginReply names the whois server for the idle limit's
// message and starts its clock; ReceiveReply gives the bytes read (> 0), 0
// when the server closed, -1 after an error, a cancel or the idle limit
// (already reported). It does not terminate the text.
void BeginReply(const char* host, int port);
int ReceiveReply(char* buffer, int capacity);

// A proxy handshake may take this long in all, however the proxy trickles.
constexpr int ProxyHandshakeSeconds = 30;
// Starts the handshake's clock; `dumps` turns the proxy traffic dumps on.
void BeginProxyHandshake(bool dumps);
// One receive from the proxy; the count, 0 on close, -1 on error or when the
// wait was given up.
int ReceiveFromConnection(void* buffer, int capacity);
// Receives until `count` bytes have come, or the peer closes or fails; returns
// how many came, so a reply split over several packets arrives whole.
int ReceiveFullFromConnection(void* buffer, int count);
// True when a wait for the proxy ended by the user's cancel (or shutdown) or
// by the handshake's time limit, which has been reported; the tunnel then
// gives up quietly.
bool TunnelAborted();

// Every way a tunnel can fail with a fixed text.
enum class ProxyFailure {
  SendFailed,
  NoReply,
  UnexpectedReply,
  IncompleteReply,
  BadResponse,
  HeaderTooLong,
  CredentialsTooLong,
  HostNameTooLong,
  NoAcceptableMethod,
  BadCredentials,
  TimedOut,
};
const char* ProxyFailureText(ProxyFailure failure);
// "Received error code from proxy: ", followed by the proxy's code.
extern const char ProxyErrorCodeText[];
// A tunnel's failure: its text as Error, the connection closed, false.
bool FailTunnel(ProxyFailure failure);

// Debug dumps of proxy traffic, shown only when the handshake has them on.
void ProxyDump(const char* header, const char* body);
// A packet listing: one line per byte, "packet[i] -> v 'c'" or "packet[i] -> v".
void ProxyDumpPacket(const char* header, const unsigned char* bytes, int count);

// The resolver step shared by the connection and the SOCKS tunnels: a dotted
// address, else the first address of a name lookup. false when neither works.
bool LookUpAddress(const char* name, std::uint32_t& address);
// The SOCKS tunnels' local lookup of the whois server: on failure reported as
// "Can not resolve host", the connection closed, false.
bool LookUpTunnelTarget(const char* host, std::uint32_t& address);

// The fixed text for a Windows sockets error code.
const char* SocketErrorText(int code);
