// The transport's and the RDAP step's fixed texts, each written once: the
// connection, the tunnels and both RDAP transports take them from here.
#pragma once
#include <string>

enum class NetText {
  AbortedByUser,  // a cancel of a connect, a wait or a request
  CannotCreateSocket,
  CannotConnect,          // every address of the server was tried
  SendFailed,             // the request line could not be sent
  ProxyTypeNotSupported,  // a proxy kind outside the list
  SocksNotForRdap,        // WinHTTP speaks to HTTP proxies only
};
const char* NetTextOf(NetText text);
// "Can not resolve host 'NAME'" and a line break.
std::string ResolveFailureText(const char* name);
// The proxy's failures name the proxy, so that the whois server is not blamed:
// "Can not resolve proxy host 'NAME' (proxy NAME:PORT)", "Cannot connect to proxy NAME:PORT".
std::string ProxyResolveFailureText(const char* name, int port);
std::string ProxyConnectFailureText(const char* name, int port);

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

// The fixed text for a Windows sockets error code (platform::SocketError).
const char* SocketErrorText(int code);
