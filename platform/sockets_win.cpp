#include "platform/sockets.h"

// Room for every attempt of a connection race in one wait (Winsock's sets are
// arrays of this length, 64 by default).
#define FD_SETSIZE 256
#include <winsock2.h>
#include <ws2tcpip.h>

#include <cstring>

#include "platform/sockets_shared.h"

namespace platform {

bool StartSockets() {
  WSADATA data;
  return WSAStartup(MAKEWORD(1, 1), &data) == 0;
}

void StopSockets() { WSACleanup(); }

std::uint32_t ParseIPv4(const char* text) { return inet_addr(text); }

std::string FormatIPv4(std::uint32_t address) {
  in_addr a;
  a.s_addr = address;
  const char* text = inet_ntoa(a);
  return text ? text : "";
}

bool ResolveName(const char* name, HostEntry& entry) {
  const hostent* h = gethostbyname(name);
  if (!h) return false;
  CopyHostEntry(h, entry);
  return !entry.Addresses.empty();
}

bool ResolveAddress(std::uint32_t address, HostEntry& entry) {
  const hostent* h = gethostbyaddr(reinterpret_cast<const char*>(&address), 4, AF_INET);
  if (!h) return false;
  CopyHostEntry(h, entry);
  return true;
}

// getaddrinfo's error codes are the Windows sockets numbers already.
bool ResolveAll(const char* host, std::uint16_t port, std::vector<SocketAddress>& addresses) {
  addresses.clear();
  SocketAddress numeric;
  if (ParseAddress(host, port, numeric)) {
    addresses.push_back(numeric);
    return true;
  }
  const int r = LookUpAll(WithoutBrackets(host).c_str(), port, 0, AF_UNSPEC, addresses);
  if (r != 0) WSASetLastError(r);
  return r == 0;
}

Socket OpenTcpSocket() { return OpenTcpSocket(AddressFamily::IPv4); }

Socket OpenTcpSocket(AddressFamily family) {
  SOCKET s = socket(family == AddressFamily::IPv6 ? AF_INET6 : AF_INET, SOCK_STREAM, IPPROTO_TCP);
  return s == INVALID_SOCKET ? InvalidSocket : static_cast<Socket>(s);
}

namespace {

bool SetBlocking(SOCKET s, bool blocking) {
  u_long nonBlocking = blocking ? 0 : 1;
  return ioctlsocket(s, FIONBIO, &nonBlocking) == 0;
}

}  // namespace

int StartConnect(Socket s, const SocketAddress& target) {
  const SOCKET socket = static_cast<SOCKET>(s);
  if (!SetBlocking(socket, false)) return -1;
  if (connect(socket, reinterpret_cast<const sockaddr*>(target.Bytes), target.Length) == 0)
    return SetBlocking(socket, true) ? 1 : -1;
  return WSAGetLastError() == WSAEWOULDBLOCK ? 0 : -1;
}

int StartConnectIPv4(Socket s, std::uint32_t address, std::uint16_t port) {
  return StartConnect(s, MakeIPv4Address(address, port));
}

int WaitAnyConnected(const Socket* sockets, int count, int milliseconds, int* outcomes, int* errors) {
  if (count > FD_SETSIZE) {
    WSASetLastError(WSAEINVAL);
    return -1;
  }
  fd_set writeSet, exceptSet;
  FD_ZERO(&writeSet);
  FD_ZERO(&exceptSet);
  for (int i = 0; i < count; ++i) {
    FD_SET(static_cast<SOCKET>(sockets[i]), &writeSet);
    FD_SET(static_cast<SOCKET>(sockets[i]), &exceptSet);
    outcomes[i] = 0;
    errors[i] = 0;
  }
  timeval timeout{milliseconds / 1000, (milliseconds % 1000) * 1000};
  const int r = select(0, nullptr, &writeSet, &exceptSet, &timeout);
  if (r == SOCKET_ERROR) return -1;
  int ended = 0;
  for (int i = 0; i < count && r > 0; ++i) {
    const SOCKET socket = static_cast<SOCKET>(sockets[i]);
    const bool failed = FD_ISSET(socket, &exceptSet) != 0;
    if (!failed && !FD_ISSET(socket, &writeSet)) continue;
    ++ended;
    if (!failed && SetBlocking(socket, true)) {
      outcomes[i] = 1;
      continue;
    }
    int error = 0;
    int length = sizeof error;
    if (getsockopt(socket, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length) != 0 || error == 0)
      error = WSAGetLastError();
    outcomes[i] = -1;
    errors[i] = error;
  }
  return ended;
}

// A connect that succeeds makes the socket writable; one that fails shows in
// the exception set, with its error in SO_ERROR.
int WaitConnected(Socket s, int seconds) {
  const SOCKET socket = static_cast<SOCKET>(s);
  fd_set writeSet, exceptSet;
  FD_ZERO(&writeSet);
  FD_ZERO(&exceptSet);
  FD_SET(socket, &writeSet);
  FD_SET(socket, &exceptSet);
  timeval timeout{seconds, 0};
  const int r = select(0, nullptr, &writeSet, &exceptSet, &timeout);
  if (r == SOCKET_ERROR) return -1;
  if (r == 0) return 0;
  if (FD_ISSET(socket, &exceptSet) || !FD_ISSET(socket, &writeSet)) {
    int error = 0;
    int length = sizeof error;
    if (getsockopt(socket, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length) == 0 && error != 0)
      WSASetLastError(error);
    return -1;
  }
  return SetBlocking(socket, true) ? 1 : -1;
}

int SendBytes(Socket s, const void* data, int length) {
  int n = send(static_cast<SOCKET>(s), static_cast<const char*>(data), length, 0);
  return n == SOCKET_ERROR ? -1 : n;
}

int ReceiveBytes(Socket s, void* buffer, int capacity) {
  int n = recv(static_cast<SOCKET>(s), static_cast<char*>(buffer), capacity, 0);
  return n == SOCKET_ERROR ? -1 : n;
}

int ReceiveWaitingBytes(Socket, void*, int) { return NothingWaiting; }

int WaitReadable(Socket s, int seconds) {
  fd_set readSet;
  FD_ZERO(&readSet);
  FD_SET(static_cast<SOCKET>(s), &readSet);
  timeval timeout{seconds, 0};
  int r = select(0, &readSet, nullptr, nullptr, &timeout);
  return r == SOCKET_ERROR ? -1 : (r > 0 ? 1 : 0);
}

void CloseSocket(Socket s) {
  if (s != InvalidSocket) closesocket(static_cast<SOCKET>(s));
}

int LastSocketError() { return WSAGetLastError(); }

}  // namespace platform
