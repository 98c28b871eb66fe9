// The one TCP connection of a whois exchange: connect (directly or through the
// proxy tunnel), send the query line, hand the reply over piece by piece.
#pragma once
#include <atomic>

#include "platform/sockets.h"

// Written by the user-interface thread, read by the worker without a lock.
// CancelFlag: 1 asks the running lookup to stop. QuitFlag: 1 tells the worker
// to end; the transport treats it as a cancel so shutdown is never held up by
// a silent server.
extern std::atomic<int> CancelFlag;
extern std::atomic<int> QuitFlag;

// The socket of the exchange in progress, or InvalidSocket.
extern platform::Socket CurrentConnection;

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

// True when the query line has been sent; false after a failure that has
// already been reported.
bool ConnectAndSend(const char* server, const char* query);
// Bytes read (> 0), 0 when the server closed, -1 after an error or a cancel
// (already reported). Does not terminate the text.
int ReceiveReply(char* buffer, int capacity);
bool CloseConnection();

// Sends all bytes, for the tunnels' packets; the count sent, or -1.
int SendToConnection(const void* data, int length);
// One receive on the current connection; the count, 0 on close, -1 on error.
int ReceiveFromConnection(void* buffer, int capacity);
// Receives until `count` bytes have come, or the peer closes or fails; returns
// how many came, so a reply split over several packets arrives whole.
int ReceiveFullFromConnection(void* buffer, int count);
// True when the last wait for a proxy's reply ended by the user's cancel (or
// shutdown), which has been reported; the tunnel then gives up quietly.
bool TunnelAborted();
// A tunnel's failure: the message as Error text, the connection closed, false.
bool FailTunnel(const char* message);

// The fixed text for a Windows sockets error code.
const char* SocketErrorText(int code);

// Debug dumps of proxy traffic, shown only when Settings.Debug is on.
void ProxyDump(const char* header, const char* body);
// A packet listing: one line per byte, "packet[i] -> v 'c'" or "packet[i] -> v".
void ProxyDumpPacket(const char* header, const unsigned char* bytes, int count);

// The resolver step shared by the connection and the SOCKS tunnels: a dotted
// address, else the first address of a name lookup. false when neither works.
bool LookUpAddress(const char* name, std::uint32_t& address);
// The SOCKS tunnels' local lookup of the whois server: on failure reported as
// "Can not resolve host", the connection closed, false.
bool LookUpTunnelTarget(const char* host, std::uint32_t& address);
