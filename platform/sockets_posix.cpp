#include "platform/sockets.h"

#include <arpa/inet.h>
#include <cerrno>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

namespace platform {
namespace {

// The last error of this thread, already translated to a Windows sockets code.
thread_local int lastError = 0;

int TranslateErrno(int e) {
  switch (e) {
    case EINTR: return ErrInterrupted;
    case EINVAL: return ErrInvalid;
    case EAGAIN: return ErrWouldBlock;
    case EINPROGRESS: return ErrInProgress;
    case EBADF:
    case ENOTSOCK: return ErrNotSocket;
    case EMSGSIZE: return ErrMessageSize;
    case EADDRINUSE: return ErrAddressInUse;
    case ENETDOWN: return ErrNetDown;
    case ENETUNREACH: return ErrNetUnreachable;
    case ECONNABORTED: return ErrConnAborted;
    case ECONNRESET: return ErrConnReset;
    case ENOBUFS:
    case ENOMEM: return ErrNoBuffers;
    case ENOTCONN: return ErrNotConnected;
    case EPIPE: return ErrShutdown;
    case ETIMEDOUT: return ErrTimedOut;
    case ECONNREFUSED: return ErrConnRefused;
    case EHOSTUNREACH: return ErrHostUnreachable;
    default: return 10000 + e;  // outside the table: "unknown winsock error"
  }
}

int TranslateHostError(int e) {
  switch (e) {
    case HOST_NOT_FOUND: return ErrHostNotFound;
    case TRY_AGAIN: return ErrTryAgain;
    case NO_RECOVERY: return ErrNoRecovery;
    default: return ErrNoData;
  }
}

int Fail() {
  lastError = TranslateErrno(errno);
  return -1;
}

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

bool StartSockets() { return true; }
void StopSockets() {}

std::uint32_t ParseIPv4(const char* text) { return inet_addr(text); }

std::string FormatIPv4(std::uint32_t address) {
  in_addr a;
  a.s_addr = address;
  char text[INET_ADDRSTRLEN];
  return inet_ntop(AF_INET, &a, text, sizeof text) ? text : "";
}

// Only the worker thread resolves, so the static hostent of these calls is safe.
bool ResolveName(const char* name, HostEntry& entry) {
  const hostent* h = gethostbyname(name);
  if (!h) {
    lastError = TranslateHostError(h_errno);
    return false;
  }
  CopyHostEntry(h, entry);
  return !entry.Addresses.empty();
}

bool ResolveAddress(std::uint32_t address, HostEntry& entry) {
  const hostent* h = gethostbyaddr(&address, 4, AF_INET);
  if (!h) {
    lastError = TranslateHostError(h_errno);
    return false;
  }
  CopyHostEntry(h, entry);
  return true;
}

Socket OpenTcpSocket() {
  int s = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
  if (s < 0) {
    Fail();
    return InvalidSocket;
  }
  return s;
}

int ConnectIPv4(Socket s, std::uint32_t address, std::uint16_t port) {
  sockaddr_in target;
  std::memset(&target, 0, sizeof target);
  target.sin_family = AF_INET;
  target.sin_port = htons(port);
  target.sin_addr.s_addr = address;
  int r;
  do {
    r = connect(static_cast<int>(s), reinterpret_cast<sockaddr*>(&target), sizeof target);
  } while (r < 0 && errno == EINTR);
  return r < 0 ? Fail() : 0;
}

int SendBytes(Socket s, const void* data, int length) {
  ssize_t n;
  do {
    // No SIGPIPE: a peer that has gone is an error code, not a signal.
    n = send(static_cast<int>(s), data, static_cast<size_t>(length), MSG_NOSIGNAL);
  } while (n < 0 && errno == EINTR);
  return n < 0 ? Fail() : static_cast<int>(n);
}

int ReceiveBytes(Socket s, void* buffer, int capacity) {
  ssize_t n;
  do {
    n = recv(static_cast<int>(s), buffer, static_cast<size_t>(capacity), 0);
  } while (n < 0 && errno == EINTR);
  return n < 0 ? Fail() : static_cast<int>(n);
}

int WaitReadable(Socket s, int seconds) {
  const int fd = static_cast<int>(s);
  if (fd < 0 || fd >= FD_SETSIZE) {
    lastError = ErrNotSocket;
    return -1;
  }
  fd_set readSet;
  FD_ZERO(&readSet);
  FD_SET(fd, &readSet);
  timeval timeout{seconds, 0};
  int r = select(fd + 1, &readSet, nullptr, nullptr, &timeout);
  if (r < 0 && errno == EINTR) return 0;  // a signal (Ctrl-C) counts as a quiet second
  return r < 0 ? Fail() : (r > 0 ? 1 : 0);
}

void CloseSocket(Socket s) {
  if (s != InvalidSocket) close(static_cast<int>(s));
}

int LastSocketError() { return lastError; }

}  // namespace platform
