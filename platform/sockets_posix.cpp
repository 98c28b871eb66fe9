#include "platform/sockets.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <cerrno>

#include <cstring>

#include "platform/sockets_shared.h"

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

int TranslateLookupError(int e) {
  switch (e) {
    case EAI_AGAIN: return ErrTryAgain;
    case EAI_FAIL: return ErrNoRecovery;
    case EAI_NODATA: return ErrNoData;
    case EAI_MEMORY: return ErrNoBuffers;
    case EAI_SYSTEM: return TranslateErrno(errno);
    default: return ErrHostNotFound;
  }
}

int Fail() {
  lastError = TranslateErrno(errno);
  return -1;
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

bool ResolveAll(const char* host, std::uint16_t port, std::vector<SocketAddress>& addresses) {
  addresses.clear();
  SocketAddress numeric;
  if (ParseAddress(host, port, numeric)) {
    addresses.push_back(numeric);
    return true;
  }
  const int r = LookUpAll(WithoutBrackets(host).c_str(), port, 0, AF_UNSPEC, addresses);
  if (r != 0) lastError = TranslateLookupError(r);
  return r == 0;
}

Socket OpenTcpSocket() { return OpenTcpSocket(AddressFamily::IPv4); }

Socket OpenTcpSocket(AddressFamily family) {
  const int domain = family == AddressFamily::IPv6 ? AF_INET6 : AF_INET;
  int s = socket(domain, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
  if (s < 0) {
    Fail();
    return InvalidSocket;
  }
  return s;
}

int StartConnect(Socket s, const SocketAddress& target) {
  const int fd = static_cast<int>(s);
  const int flags = fcntl(fd, F_GETFL);
  if (flags < 0 || fcntl(fd, F_SETFL, flags | O_NONBLOCK) < 0) return Fail();
  if (connect(fd, reinterpret_cast<const sockaddr*>(target.Bytes), static_cast<socklen_t>(target.Length)) == 0)
    return fcntl(fd, F_SETFL, flags) < 0 ? Fail() : 1;
  // A connect interrupted by a signal goes on in the background, as one under way.
  return errno == EINPROGRESS || errno == EINTR ? 0 : Fail();
}

int StartConnectIPv4(Socket s, std::uint32_t address, std::uint16_t port) {
  return StartConnect(s, MakeIPv4Address(address, port));
}

namespace {

// A connect that has ended: 1 connected and blocking again, -1 failed with
// its code in `error`.
int ConnectEnded(int fd, int& error) {
  socklen_t length = sizeof error;
  error = 0;
  if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) < 0) error = errno;
  if (error != 0) {
    error = TranslateErrno(error);
    return -1;
  }
  const int flags = fcntl(fd, F_GETFL);
  if (flags < 0 || fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) < 0) {
    error = TranslateErrno(errno);
    return -1;
  }
  return 1;
}

}  // namespace

int WaitAnyConnected(const Socket* sockets, int count, int milliseconds, int* outcomes, int* errors) {
  std::vector<pollfd> polls(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) {
    polls[static_cast<size_t>(i)] = pollfd{static_cast<int>(sockets[i]), POLLOUT, 0};
    outcomes[i] = 0;
    errors[i] = 0;
  }
  const int r = poll(polls.data(), static_cast<nfds_t>(count), milliseconds);
  if (r < 0) return errno == EINTR ? 0 : Fail();
  int ended = 0;
  for (int i = 0; i < count && r > 0; ++i) {
    const short revents = polls[static_cast<size_t>(i)].revents;
    if (revents == 0) continue;
    ++ended;
    if (revents & POLLNVAL) {
      outcomes[i] = -1;
      errors[i] = ErrNotSocket;
    } else {
      outcomes[i] = ConnectEnded(polls[static_cast<size_t>(i)].fd, errors[i]);
    }
  }
  return ended;
}

int WaitConnected(Socket s, int seconds) {
  const int fd = static_cast<int>(s);
  pollfd p{fd, POLLOUT, 0};
  const int r = poll(&p, 1, seconds * 1000);
  if (r < 0) return errno == EINTR ? 0 : Fail();  // a signal (Ctrl-C) counts as a quiet second
  if (r == 0) return 0;
  if (p.revents & POLLNVAL) {
    lastError = ErrNotSocket;
    return -1;
  }
  int error = 0;
  socklen_t length = sizeof error;
  if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) < 0) return Fail();
  if (error != 0) {
    lastError = TranslateErrno(error);
    return -1;
  }
  const int flags = fcntl(fd, F_GETFL);
  if (flags < 0 || fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) < 0) return Fail();
  return 1;
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

int ReceiveWaitingBytes(Socket s, void* buffer, int capacity) {
  ssize_t n;
  do {
    n = recv(static_cast<int>(s), buffer, static_cast<size_t>(capacity), MSG_DONTWAIT);
  } while (n < 0 && errno == EINTR);
  if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return NothingWaiting;
  return n < 0 ? Fail() : static_cast<int>(n);
}

// poll, not select: a process with many files open may get a socket number
// beyond what select can watch.
int WaitReadable(Socket s, int seconds) {
  const int fd = static_cast<int>(s);
  if (fd < 0) {
    lastError = ErrNotSocket;
    return -1;
  }
  pollfd p{fd, POLLIN, 0};
  const int r = poll(&p, 1, seconds * 1000);
  if (r < 0 && errno == EINTR) return 0;  // a signal (Ctrl-C) counts as a quiet second
  if (r < 0) return Fail();
  if (r > 0 && (p.revents & POLLNVAL)) {
    lastError = ErrNotSocket;
    return -1;
  }
  return r > 0 ? 1 : 0;  // a close or an error reads as readable: the receive tells
}

void CloseSocket(Socket s) {
  if (s != InvalidSocket) close(static_cast<int>(s));
}

int LastSocketError() { return lastError; }

}  // namespace platform
