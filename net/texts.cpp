#include "net/texts.h"

#include "net/server_text.h"
#include "platform/sockets.h"

const char ProxyErrorCodeText[] = "Received error code from proxy: ";

const char* NetTextOf(NetText text) {
  switch (text) {
    case NetText::AbortedByUser: return "< Aborted by user >\n";
    case NetText::CannotCreateSocket: return "Cannot create socket\n";
    case NetText::CannotConnect: return "Cannot connect socket\n";
    case NetText::SendFailed: return "Error during send.\n";
    case NetText::ProxyTypeNotSupported: return "Proxy Type not supported yet!\n";
    case NetText::SocksNotForRdap:
      return "RDAP cannot go through a SOCKS proxy in the Windows program: use an HTTP proxy or none\n";
  }
  return "";
}

std::string ResolveFailureText(const char* name) { return "Can not resolve host '" + std::string(name) + "'\n"; }

std::string ProxyResolveFailureText(const char* name, int port) {
  return "Can not resolve proxy host '" + std::string(name) + "' (proxy " + FormatHostPort(name, port) + ")\n";
}

std::string ProxyConnectFailureText(const char* name, int port) {
  return "Cannot connect to proxy " + FormatHostPort(name, port) + "\n";
}

const char* ProxyFailureText(ProxyFailure failure) {
  switch (failure) {
    case ProxyFailure::SendFailed: return "Cannot send data to proxy!\n";
    case ProxyFailure::NoReply: return "No reply received from proxy!\n";
    case ProxyFailure::UnexpectedReply: return "Unexpected reply received from proxy!\n";
    case ProxyFailure::IncompleteReply: return "Incomplete reply received from proxy!\n";
    case ProxyFailure::BadResponse: return "Bad response received from proxy server!\n";
    case ProxyFailure::HeaderTooLong: return "Reply header from proxy too long!\n";
    case ProxyFailure::CredentialsTooLong: return "Username/Password too long for the proxy!\n";
    case ProxyFailure::HostNameTooLong: return "Host name too long for the proxy!\n";
    // No line break: the next output continues on this line.
    case ProxyFailure::NoAcceptableMethod: return "Can not negotiate authentication methods with the SOCKS5 proxy?";
    case ProxyFailure::BadCredentials: return "Bad Username/Password!\n";
    case ProxyFailure::TimedOut: return "No complete reply from proxy within 30 seconds!\n";
  }
  return "";
}

const char* SocketErrorText(int code) {
  using namespace platform;
  switch (code) {
    case ErrInterrupted: return "The call was canceled";
    case ErrInvalid: return "invalid winsock version";
    case ErrInProgress: return "A blocking winsock operation is in progress";
    case ErrNetDown: return "winsock has detected that the network subsystem has failed";
    case ErrNetUnreachable: return "The host is unreachable.";
    case ErrConnReset: return "connection closed by remote side";
    case ErrTimedOut: return "Connection timedout.";
    case ErrConnRefused: return "Connection refused.";
    case ErrSysNotReady: return "tcp/ip network not ready";
    case ErrVerNotSupported: return "wrong winsock version";
    case ErrNotInitialised: return "winsock not initialized";
    case ErrHostNotFound: return "Authoritative Answer Host not found";
    case ErrTryAgain: return "Non-Authoritative Host not found, or SERVERFAIL";
    case ErrNoRecovery: return "Nonrecoverable errors: FORMERR, REFUSED, NOTIMP";
    case ErrNoData: return "Valid name, no data record of requested type";
    default: return "unknown winsock error";
  }
}
