// The SOCKS4 tunnel's pure parts: any reply judged from exactly the bytes
// that came; the request built from any user id and host within its capacity.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "fuzz/fuzz_support.h"
#include "net/socks4_tunnel.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const int count = static_cast<int>(size < 16 ? size : 16);
  std::unique_ptr<unsigned char[]> reply(new unsigned char[count > 0 ? count : 1]);
  std::memcpy(reply.get(), data, static_cast<size_t>(count));
  const Socks4ReplyStatus status = JudgeSocks4Reply(reply.get(), count);
  if (status.Verdict == Socks4Verdict::Granted) FUZZ_CHECK(count >= Socks4ReplyLength && data[1] == 90);
  if (status.Verdict == Socks4Verdict::Truncated) FUZZ_CHECK(count < Socks4ReplyLength);
  FUZZ_CHECK(status.Code >= 0 && status.Code <= 255);

  if (size < 6) return 0;
  const int port = data[0] | (data[1] << 8);
  std::uint32_t address;
  std::memcpy(&address, data + 2, 4);
  const std::string rest(reinterpret_cast<const char*>(data + 6), size - 6);
  const size_t split = rest.find('\x01');
  const std::string user = std::string(rest.substr(0, split).c_str());
  const bool named = split != std::string::npos;
  const std::string host = named ? std::string(rest.substr(split + 1).c_str()) : "";
  const int capacity = static_cast<int>(size % (2 * Socks4PacketCapacity));
  std::unique_ptr<unsigned char[]> packet(new unsigned char[capacity > 0 ? capacity : 1]);
  const int length = BuildSocks4Request(packet.get(), capacity, port, address, user.c_str(),
                                        named ? host.c_str() : nullptr);
  const size_t expected = 9 + user.size() + (named ? host.size() + 1 : 0);
  if (length < 0) {
    FUZZ_CHECK(expected > static_cast<size_t>(capacity));
    return 0;
  }
  FUZZ_CHECK(static_cast<size_t>(length) == expected);
  FUZZ_CHECK(packet[0] == 4 && packet[1] == 1);
  FUZZ_CHECK(packet[2] == ((port >> 8) & 0xFF) && packet[3] == (port & 0xFF));
  FUZZ_CHECK(std::memcmp(packet.get() + 8, user.c_str(), user.size() + 1) == 0);
  if (named) FUZZ_CHECK(std::memcmp(packet.get() + 9 + user.size(), host.c_str(), host.size() + 1) == 0);
  return 0;
}
