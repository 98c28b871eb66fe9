// Thin socket layer: Winsock 1.1 on Windows, BSD sockets elsewhere. Error codes
// are always the Windows sockets numbers, so messages read the same everywhere.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace platform {

using Socket = std::intptr_t;
constexpr Socket InvalidSocket = -1;
// inet_addr's answer for text that is not an address (all bits set).
constexpr std::uint32_t AddressNone = 0xFFFFFFFFu;

// Windows sockets error numbers that the program names.
enum SocketError : int {
  ErrInterrupted = 10004,
  ErrInvalid = 10022,
  ErrWouldBlock = 10035,
  ErrInProgress = 10036,
  ErrNotSocket = 10038,
  ErrMessageSize = 10040,
  ErrAddressInUse = 10048,
  ErrNetDown = 10050,
  ErrNetUnreachable = 10051,
  ErrConnAborted = 10053,
  ErrConnReset = 10054,
  ErrNoBuffers = 10055,
  ErrNotConnected = 10057,
  ErrShutdown = 10058,
  ErrTimedOut = 10060,
  ErrConnRefused = 10061,
  ErrHostUnreachable = 10065,
  ErrSysNotReady = 10091,
  ErrVerNotSupported = 10092,
  ErrNotInitialised = 10093,
  ErrHostNotFound = 11001,
  ErrTryAgain = 11002,
  ErrNoRecovery = 11003,
  ErrNoData = 11004,
};

// A copy of a resolver answer (the hostent of gethostbyname/gethostbyaddr).
struct HostEntry {
  std::string Name;
  std::vector<std::string> Aliases;
  std::vector<std::uint32_t> Addresses;  // network byte order
};

bool StartSockets();  // WSAStartup(1.1); a no-op elsewhere
void StopSockets();

// inet_addr: the address in network byte order, or AddressNone.
std::uint32_t ParseIPv4(const char* text);
// inet_ntoa of an address in network byte order.
std::string FormatIPv4(std::uint32_t address);

bool ResolveName(const char* name, HostEntry& entry);       // gethostbyname
bool ResolveAddress(std::uint32_t address, HostEntry& entry);  // gethostbyaddr

Socket OpenTcpSocket();
// Starts a connect to an IPv4 address (network order) and port without
// blocking: 1 connected, 0 under way (see WaitConnected), -1 failed.
int StartConnectIPv4(Socket s, std::uint32_t address, std::uint16_t port);
// Waits at most `seconds` for a connect under way: 1 connected (the socket
// blocks again from then on), 0 still under way, -1 failed (the connect's own
// error in LastSocketError).
int WaitConnected(Socket s, int seconds);
// send/recv with flags 0: the count, or -1 (see LastSocketError).
int SendBytes(Socket s, const void* data, int length);
int ReceiveBytes(Socket s, void* buffer, int capacity);
// A receive that does not wait: the count, 0 when the peer closed, -1 failed,
// NothingWaiting when no byte has come yet (always so on Windows, whose
// callers then wait for readability first).
constexpr int NothingWaiting = -2;
int ReceiveWaitingBytes(Socket s, void* buffer, int capacity);
// Waits for readability: 1 readable (data, a close or an error), 0 timed out
// (or interrupted), -1 failed.
int WaitReadable(Socket s, int seconds);
void CloseSocket(Socket s);
int LastSocketError();

}  // namespace platform
