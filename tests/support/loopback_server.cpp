#include "tests/support/loopback_server.h"

#include <chrono>
#include <cstring>

#include "platform/sockets.h"

#ifdef _WIN32
#include <winsock.h>
using SockLen = int;
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <unistd.h>
using SockLen = socklen_t;
#define closesocket close
#endif

namespace {

using Clock = std::chrono::steady_clock;

int Readable(std::intptr_t s, int timeoutMs) {
  fd_set set;
  FD_ZERO(&set);
#ifdef _WIN32
  FD_SET(static_cast<SOCKET>(s), &set);
#else
  FD_SET(static_cast<int>(s), &set);
#endif
  timeval tv{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
  return select(static_cast<int>(s) + 1, &set, nullptr, nullptr, &tv);
}

int RemainingMs(Clock::time_point deadline) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left > 0 ? static_cast<int>(left) : 0;
}

}  // namespace

bool LoopbackConnection::ReadSome(int timeoutMs) {
  if (socket_ == -1 || Readable(socket_, timeoutMs) <= 0) return false;
  char buffer[65536];
  const int n = static_cast<int>(recv(socket_, buffer, sizeof buffer, 0));
  if (n <= 0) return false;
  pending_.append(buffer, static_cast<size_t>(n));
  log_.append(buffer, static_cast<size_t>(n));
  return true;
}

std::string LoopbackConnection::Read(size_t count, int timeoutMs) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  while (pending_.size() < count && ReadSome(RemainingMs(deadline))) {
  }
  std::string out = pending_.substr(0, count);
  pending_.erase(0, out.size());
  return out;
}

std::string LoopbackConnection::ReadUntil(const std::string& terminator, int timeoutMs) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  size_t at;
  while ((at = pending_.find(terminator)) == std::string::npos && ReadSome(RemainingMs(deadline))) {
  }
  const size_t n = at == std::string::npos ? pending_.size() : at + terminator.size();
  std::string out = pending_.substr(0, n);
  pending_.erase(0, n);
  return out;
}

std::string LoopbackConnection::ReadAvailable(int quietMs) {
  while (ReadSome(quietMs)) {
  }
  std::string out;
  out.swap(pending_);
  return out;
}

bool LoopbackConnection::Send(const std::string& bytes) {
  size_t sent = 0;
  while (socket_ != -1 && sent < bytes.size()) {
#ifdef _WIN32
    const int n = send(socket_, bytes.data() + sent, static_cast<int>(bytes.size() - sent), 0);
#else
    const int n = static_cast<int>(send(socket_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL));
#endif
    if (n <= 0) return false;
    sent += static_cast<size_t>(n);
  }
  return sent == bytes.size();
}

void LoopbackConnection::Pause(int milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

void LoopbackConnection::Reset() {
  if (socket_ == -1) return;
  linger l;
  l.l_onoff = 1;
  l.l_linger = 0;
  setsockopt(socket_, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&l), sizeof l);
  closesocket(socket_);
  socket_ = -1;
}

LoopbackServer::LoopbackServer(std::vector<Script> scripts, const char* address, std::uint16_t port)
    : address_(address), scripts_(std::move(scripts)) {
  listener_ = static_cast<std::intptr_t>(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
  int on = 1;
  setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&on), sizeof on);
  sockaddr_in a;
  std::memset(&a, 0, sizeof a);
  a.sin_family = AF_INET;
  a.sin_port = htons(port);
  a.sin_addr.s_addr = inet_addr(address);
  bind(listener_, reinterpret_cast<sockaddr*>(&a), sizeof a);
  listen(listener_, 16);
  SockLen len = sizeof a;
  getsockname(listener_, reinterpret_cast<sockaddr*>(&a), &len);
  port_ = ntohs(a.sin_port);
  received_.resize(scripts_.size());
  thread_ = std::thread([this] { Run(); });
}

LoopbackServer::~LoopbackServer() {
  stop_ = true;
  thread_.join();
  closesocket(listener_);
}

std::string LoopbackServer::ServerText() const { return address_ + ":" + std::to_string(port_); }

std::vector<std::string> LoopbackServer::Received() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return received_;
}

bool LoopbackServer::WaitDone(int timeoutMs) const {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  while (finished_ < static_cast<int>(scripts_.size())) {
    if (Clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

// Connections are served one after the other; each script runs to its end and
// the connection is then closed in order, unless the script reset it.
void LoopbackServer::Run() {
  for (size_t i = 0; i < scripts_.size() && !stop_;) {
    if (Readable(listener_, 50) <= 0) continue;
    const std::intptr_t s = static_cast<std::intptr_t>(accept(listener_, nullptr, nullptr));
    if (s == -1) continue;
    ++accepted_;
    LoopbackConnection connection(s);
    scripts_[i](connection);
    {
      std::lock_guard<std::mutex> lock(mutex_);
      received_[i] = connection.log_;
    }
    if (connection.socket_ != -1) closesocket(connection.socket_);
    ++finished_;
    ++i;
  }
}

LoopbackServer::Script ReplyWith(std::string reply) {
  return [reply](LoopbackConnection& c) {
    c.ReadUntil("\r\n");
    c.Send(reply);
  };
}

LoopbackServer::Script ResetAfter(std::string partial) {
  return [partial](LoopbackConnection& c) {
    c.ReadUntil("\r\n");
    c.Send(partial);
    c.Pause(200);  // read by the client before the reset comes
    c.Reset();
  };
}

// With a backlog of 0 the queue holds one connection that is never accepted;
// the attempts after it stay unanswered (the kernel drops their SYNs).
DeafListener::DeafListener() {
  listener_ = static_cast<std::intptr_t>(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
  sockaddr_in a;
  std::memset(&a, 0, sizeof a);
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = inet_addr("127.0.0.1");
  bind(listener_, reinterpret_cast<sockaddr*>(&a), sizeof a);
  listen(listener_, 0);
  SockLen len = sizeof a;
  getsockname(listener_, reinterpret_cast<sockaddr*>(&a), &len);
  port_ = ntohs(a.sin_port);
  for (int i = 0; i < 8 && !deaf_; ++i) {
    const platform::Socket s = platform::OpenTcpSocket();
    fillers_.push_back(s);
    int state = platform::StartConnectIPv4(s, a.sin_addr.s_addr, port_);
    for (int wait = 0; wait < 10 && state == 0; ++wait) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      state = platform::WaitConnected(s, 0);
    }
    deaf_ = state == 0;
  }
}

DeafListener::~DeafListener() {
  for (const std::intptr_t s : fillers_) platform::CloseSocket(s);
  closesocket(listener_);
}

std::string DeafListener::ServerText() const { return "127.0.0.1:" + std::to_string(port_); }
