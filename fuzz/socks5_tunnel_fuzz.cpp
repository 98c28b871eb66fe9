// The SOCKS5 tunnel's pure parts: method, authentication and connect replies
// judged from exactly the bytes that came, the connect reply's length from
// its head; the packets built from any texts within the one-byte lengths and
// from any IPv6 address.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "fuzz/fuzz_support.h"
#include "net/socks5_tunnel.h"

namespace {

void CheckReplies(const std::uint8_t* data, size_t size) {
  const int count = static_cast<int>(size < 300 ? size : 300);
  std::unique_ptr<unsigned char[]> reply(new unsigned char[count > 0 ? count : 1]);
  std::memcpy(reply.get(), data, static_cast<size_t>(count));
  (void)JudgeSocks5MethodReply(reply.get(), count);
  (void)JudgeSocks5AuthReply(reply.get(), count);
  const int length = Socks5ConnectReplyLength(reply.get(), count);
  FUZZ_CHECK(length == -1 || (length >= 7 && length <= 4 + 1 + 255 + 2));
  const Socks5ConnectStatus status = JudgeSocks5ConnectReply(reply.get(), count);
  if (status.Verdict == Socks5ConnectVerdict::Succeeded) FUZZ_CHECK(length > 0 && count >= length);
  if (status.Verdict == Socks5ConnectVerdict::Failed)
    FUZZ_CHECK(status.Code >= 1 && status.Code <= 255 && Socks5ReplyText(status.Code) != nullptr);
}

void CheckBuilders(const std::uint8_t* data, size_t size) {
  if (size < 6) return;
  const int port = data[0] | (data[1] << 8);
  std::uint32_t address;
  std::memcpy(&address, data + 2, 4);
  const std::string rest(reinterpret_cast<const char*>(data + 6), size - 6);
  const size_t split = rest.find('\x01');
  const std::string user = std::string(rest.substr(0, split).c_str());
  const std::string pass = split == std::string::npos ? "" : std::string(rest.substr(split + 1).c_str());
  const int capacity = static_cast<int>(size % (Socks5PacketCapacity + 40));
  std::unique_ptr<unsigned char[]> packet(new unsigned char[capacity > 0 ? capacity : 1]);

  const int auth = BuildSocks5AuthRequest(packet.get(), capacity, user.c_str(), pass.c_str());
  const bool authFits = user.size() <= 255 && pass.size() <= 255 &&
                        3 + user.size() + pass.size() <= static_cast<size_t>(capacity);
  FUZZ_CHECK((auth >= 0) == authFits);
  if (auth >= 0) {
    FUZZ_CHECK(static_cast<size_t>(auth) == 3 + user.size() + pass.size());
    FUZZ_CHECK(packet[1] == user.size() && packet[2 + user.size()] == pass.size());
  }

  const int connect = BuildSocks5ConnectRequest(packet.get(), capacity, user.c_str(), address, port);
  const bool connectFits = user.size() <= 255 && 7 + user.size() <= static_cast<size_t>(capacity);
  FUZZ_CHECK((connect >= 0) == connectFits);
  if (connect >= 0) {
    FUZZ_CHECK(static_cast<size_t>(connect) == 7 + user.size());
    FUZZ_CHECK(packet[3] == 3 && packet[4] == user.size());
    FUZZ_CHECK(packet[5 + user.size()] == ((port >> 8) & 0xFF) && packet[6 + user.size()] == (port & 0xFF));
  }
  const int numeric = BuildSocks5ConnectRequest(packet.get(), capacity, nullptr, address, port);
  FUZZ_CHECK((numeric == 10) == (capacity >= 10));

  // The IPv6 form: the 16 bytes as they are, then the port.
  if (size >= 22) {
    const platform::SocketAddress target = platform::MakeIPv6Address(data + 6, 0);
    const int v6 = BuildSocks5AddressRequest(packet.get(), capacity, target, port);
    FUZZ_CHECK((v6 == 22) == (capacity >= 22) && (v6 == 22 || v6 == -1));
    if (v6 == 22) {
      FUZZ_CHECK(packet[3] == 4 && std::memcmp(packet.get() + 4, data + 6, 16) == 0);
      FUZZ_CHECK(packet[20] == ((port >> 8) & 0xFF) && packet[21] == (port & 0xFF));
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  CheckReplies(data, size);
  CheckBuilders(data, size);
  return 0;
}
