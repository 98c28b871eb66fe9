// A scripted fake TCP server on 127.0.0.1 for tests: each accepted connection
// runs the next script of the list, then the connection is closed.
#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class LoopbackConnection {
 public:
  explicit LoopbackConnection(std::intptr_t socket) : socket_(socket) {}
  // Everything read so far on this connection.
  const std::string& Log() const { return log_; }
  // Reads until `count` bytes have come, the peer closes, or the time is up.
  std::string Read(size_t count, int timeoutMs = 3000);
  // Reads until `terminator` has been seen (inclusive), with the same limits.
  std::string ReadUntil(const std::string& terminator, int timeoutMs = 3000);
  // Whatever arrives until the peer closes or stays silent for `quietMs`.
  std::string ReadAvailable(int quietMs = 200);
  bool Send(const std::string& bytes);
  void Pause(int milliseconds);
  // Closes with a TCP reset instead of an orderly close.
  void Reset();
  bool Closed() const { return socket_ == -1; }

 private:
  friend class LoopbackServer;
  bool ReadSome(int timeoutMs);
  std::intptr_t socket_;
  std::string pending_;  // read from the socket, not yet handed out
  std::string log_;
};

class LoopbackServer {
 public:
  using Script = std::function<void(LoopbackConnection&)>;

  // Listens on 127.0.0.1 and an ephemeral port (or `port`), on `address`.
  explicit LoopbackServer(std::vector<Script> scripts, const char* address = "127.0.0.1", std::uint16_t port = 0);
  ~LoopbackServer();
  LoopbackServer(const LoopbackServer&) = delete;
  LoopbackServer& operator=(const LoopbackServer&) = delete;

  std::uint16_t Port() const { return port_; }
  // "127.0.0.1:port", a server text that the program accepts.
  std::string ServerText() const;
  // Everything each connection received, for assertions on the exact bytes.
  std::vector<std::string> Received() const;
  int Accepted() const { return accepted_; }
  // Waits until every script has finished (or the time is up).
  bool WaitDone(int timeoutMs = 5000) const;

 private:
  void Run();
  std::intptr_t listener_ = -1;
  std::uint16_t port_ = 0;
  std::string address_;
  std::vector<Script> scripts_;
  std::thread thread_;
  std::atomic<bool> stop_{false};
  std::atomic<int> accepted_{0};
  std::atomic<int> finished_{0};
  mutable std::mutex mutex_;
  std::vector<std::string> received_;
  friend class LoopbackConnection;
};

// A script that reads the request line and answers with `reply`, then closes.
LoopbackServer::Script ReplyWith(std::string reply);
// A script that reads the request line, sends `partial`, gives the client time
// to read it, then resets the connection.
LoopbackServer::Script ResetAfter(std::string partial);

// A listener whose queue of connections is full and stays full: further
// connection attempts get no answer, as from a server that drops them.
class DeafListener {
 public:
  DeafListener();
  ~DeafListener();
  DeafListener(const DeafListener&) = delete;
  DeafListener& operator=(const DeafListener&) = delete;
  std::string ServerText() const;
  // False when the queue could not be filled (the test cannot run here).
  bool Deaf() const { return deaf_; }

 private:
  std::intptr_t listener_ = -1;
  std::uint16_t port_ = 0;
  std::vector<std::intptr_t> fillers_;
  bool deaf_ = false;
};
