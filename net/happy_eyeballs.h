// Connecting to a host with several addresses (RFC 8305, "Happy Eyeballs"):
// the attempts alternate between the families, starting with the family of the
// resolver's first address; each starts a little after the one before (at
// once when that one has failed), they run side by side, and the first to
// complete wins.
#pragma once
#include <chrono>
#include <functional>
#include <vector>

#include "platform/sockets.h"

struct ConnectResult {
  platform::Socket Socket = platform::InvalidSocket;  // connected and blocking, for Connected only
  enum { Connected, Failed, Cancelled, TimedOut } State = Failed;
  platform::SocketAddress Peer;  // the address that answered; for Failed the last one tried
  int Error = 0;                 // Failed: the Windows sockets code of the last failure
};

// The order the attempts go in: the families interleaved, the first address's
// family first, each family in the order given.
std::vector<platform::SocketAddress> InterleaveFamilies(const std::vector<platform::SocketAddress>& addresses);

// Connects to the first of `addresses` that answers. Every address is tried
// before the race counts as Failed; it is TimedOut when `limit` has passed
// first, Cancelled as soon as `cancelled` (asked at least four times a second)
// says so. Every socket but the winner is closed.
ConnectResult RaceConnect(const std::vector<platform::SocketAddress>& addresses, std::chrono::milliseconds limit,
                          const std::function<bool()>& cancelled,
                          std::chrono::milliseconds stagger = std::chrono::milliseconds(250));
