#include "platform/sockets.h"

#include <winsock.h>

#include <cstring>

namespace platform {
namespace {

void CopyHostEntry(const hostent* h, HostEntry& entry) {
  entry = HostEntry{};
  entry.Name = h->h_name ? h->h_name : "";
  for (char** a = h->h_aliases; a && *a; ++a) entry.Aliases.emplace_back(*a);
  if (h->h_addrtype == AF_INET && h->h_length == 4) {
    for (char** p = h->h_addr_list; p && *p; ++p) {
      std::uint32_t address;
      std::memcpy(&address, *p, 4);
      entry.Addresses.push_back(address);
    }
  }
}

}  // namespace

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

Socket OpenTcpSocket() {
  SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  return s == INVALID_SOCKET ? InvalidSocket : static_cast<Socket>(s);
}

int ConnectIPv4(Socket s, std::uint32_t address, std::uint16_t port) {
  sockaddr_in target;
  std::memset(&target, 0, sizeof target);
  target.sin_family = AF_INET;
  target.sin_port = htons(port);
  target.sin_addr.s_addr = address;
  return connect(static_cast<SOCKET>(s), reinterpret_cast<sockaddr*>(&target), sizeof target) ==
                 SOCKET_ERROR
             ? -1
             : 0;
}

int SendBytes(Socket s, const void* data, int length) {
  int n = send(static_cast<SOCKET>(s), static_cast<const char*>(data), length, 0);
  return n == SOCKET_ERROR ? -1 : n;
}

int ReceiveBytes(Socket s, void* buffer, int capacity) {
  int n = recv(static_cast<SOCKET>(s), static_cast<char*>(buffer), capacity, 0);
  return n == SOCKET_ERROR ? -1 : n;
}

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
