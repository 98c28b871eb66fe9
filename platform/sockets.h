// Thin socket layer: Winsock on Windows (the name lookups from ws2_32), BSD
// sockets elsewhere. Error codes are always the Windows sockets numbers, so
// messages read the same everywhere.
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

// An IPv4 or IPv6 socket address (address and port) as the system holds it;
// the bytes are a sockaddr_in or sockaddr_in6, every other byte zero.
enum class AddressFamily { None, IPv4, IPv6 };
struct SocketAddress {
  static constexpr int Capacity = 128;  // a sockaddr_storage
  alignas(8) unsigned char Bytes[Capacity] = {};
  int Length = 0;  // 0: no address

  AddressFamily Family() const;
  std::uint16_t Port() const;
  void SetPort(std::uint16_t port);
  // The IPv4 address in network byte order; 0 for any other family.
  std::uint32_t IPv4() const;
  // The 16 bytes of an IPv6 address; false for any other family.
  bool IPv6(unsigned char bytes[16]) const;
  bool operator==(const SocketAddress& other) const;
  bool operator!=(const SocketAddress& other) const { return !(*this == other); }
};
SocketAddress MakeIPv4Address(std::uint32_t address, std::uint16_t port);  // address in network order
SocketAddress MakeIPv6Address(const unsigned char bytes[16], std::uint16_t port);

// A numeric address, IPv4 in the dotted form or IPv6 (also in brackets, as
// "[::1]"), with `port`; false for anything else. No lookup.
bool ParseAddress(const char* text, std::uint16_t port, SocketAddress& address);
// The numeric text of the address alone: "192.0.2.1", "2001:db8::1".
std::string FormatAddress(const SocketAddress& address);
// The name of the address in the reverse zones: "1.2.0.192.in-addr.arpa",
// thirty-two nibbles and "ip6.arpa" for IPv6; empty for no address.
std::string ReverseZoneName(const SocketAddress& address);

bool StartSockets();  // WSAStartup(1.1); a no-op elsewhere
void StopSockets();

// inet_addr: the address in network byte order, or AddressNone.
std::uint32_t ParseIPv4(const char* text);
// inet_ntoa of an address in network byte order.
std::string FormatIPv4(std::uint32_t address);

bool ResolveName(const char* name, HostEntry& entry);          // gethostbyname
bool ResolveAddress(std::uint32_t address, HostEntry& entry);  // gethostbyaddr
// Every address of `host` (a name, a numeric address, or an IPv6 address in
// brackets) for TCP, both families, in the resolver's order of preference,
// each once, with `port`. A numeric address is taken as it stands. False, with
// the lookup's error in LastSocketError, when there is no address at all.
bool ResolveAll(const char* host, std::uint16_t port, std::vector<SocketAddress>& addresses);
// The name of an address of either family (getnameinfo, the reverse zones);
// false when it has none.
bool ResolveAddressName(const SocketAddress& address, std::string& name);

Socket OpenTcpSocket();  // IPv4
Socket OpenTcpSocket(AddressFamily family);
// Starts a connect without blocking: 1 connected, 0 under way (see
// WaitConnected), -1 failed. The socket's family must be the address's.
int StartConnect(Socket s, const SocketAddress& target);
// The same for an IPv4 address (network order) and port.
int StartConnectIPv4(Socket s, std::uint32_t address, std::uint16_t port);
// Waits at most `seconds` for a connect under way: 1 connected (the socket
// blocks again from then on), 0 still under way, -1 failed (the connect's own
// error in LastSocketError).
int WaitConnected(Socket s, int seconds);
// Waits at most `milliseconds` until one or more of `count` connects under
// way end. outcomes[i] then holds 1 connected (the socket blocks again), -1
// failed (errors[i] its Windows sockets code), 0 still under way. Returns how
// many ended: 0 when the time ran out (or a signal came), -1 when the wait
// itself failed.
int WaitAnyConnected(const Socket* sockets, int count, int milliseconds, int* outcomes, int* errors);
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
