// The HTTP CONNECT tunnel's pure parts: a proxy reply taken byte by byte up to
// its empty line (as the tunnel reads it) and judged; the request built from
// any host text, port and credentials within its capacity.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "fuzz/fuzz_support.h"
#include "net/http_tunnel.h"
#include "platform/text.h"

namespace {

void CheckReply(const std::uint8_t* data, size_t size) {
  const char* bytes = reinterpret_cast<const char*>(data);
  int count = 0;
  while (count < HttpReplyCapacity && static_cast<size_t>(count) < size && !HttpReplyHeaderComplete(bytes, count))
    ++count;
  // Exactly the received bytes, so a read past them shows.
  std::unique_ptr<char[]> reply(new char[count > 0 ? count : 1]);
  std::memcpy(reply.get(), bytes, static_cast<size_t>(count));
  const HttpReplyStatus status = JudgeHttpReply(reply.get(), count);
  switch (status.Verdict) {
    case HttpReplyVerdict::Established: {
      FUZZ_CHECK(count >= 11);
      const std::string head(reply.get(), 7);
      for (int i = 0; i < 7; ++i) FUZZ_CHECK(Lower(head[static_cast<size_t>(i)]) == "http/1."[i]);
      FUZZ_CHECK(std::string(reply.get(), static_cast<size_t>(count)).find("200") != std::string::npos);
      break;
    }
    case HttpReplyVerdict::ErrorStatus:
      FUZZ_CHECK(status.StatusLineLength >= 0 && status.StatusLineLength <= count);
      // The minor version character is not looked at, so the cut is sought
      // only from where the code begins.
      for (int i = 8; i < status.StatusLineLength; ++i)
        FUZZ_CHECK(reply[static_cast<size_t>(i)] != '\r' && reply[static_cast<size_t>(i)] != '\n');
      break;
    case HttpReplyVerdict::NotHttp:
    case HttpReplyVerdict::NoStatusCode: break;
  }
}

void CheckRequest(const std::uint8_t* data, size_t size) {
  if (size < 4) return;
  int port = 0;
  std::memcpy(&port, data, 4);
  const std::string rest(reinterpret_cast<const char*>(data + 4), size - 4);
  const size_t split = rest.find('\x01');
  const std::string host = std::string(rest.substr(0, split).c_str());
  const bool withCredentials = split != std::string::npos;
  const std::string credentials = withCredentials ? std::string(rest.substr(split + 1).c_str()) : "";
  const int capacity = static_cast<int>(size % (2 * HttpRequestCapacity));
  std::unique_ptr<char[]> request(new char[capacity > 0 ? capacity : 1]);
  const int length = BuildHttpConnectRequest(request.get(), capacity, host.c_str(), port,
                                             withCredentials ? credentials.c_str() : nullptr);
  // An IPv6 address (a host with a colon) goes in brackets, unless it has them.
  const bool bracketed = host.find(':') != std::string::npos && host[0] != '[';
  const std::string shown = bracketed ? "[" + host + "]" : host;
  const std::string expected = "CONNECT " + shown + ":" + std::to_string(port) + " HTTP/1.1\r\n" +
                               (withCredentials ? "Proxy-Authorization: Basic " + credentials + "\r\n" : "") + "\r\n";
  if (length < 0) {
    FUZZ_CHECK(expected.size() + 1 > static_cast<size_t>(capacity));
    return;
  }
  FUZZ_CHECK(length < capacity);
  FUZZ_CHECK(std::string(request.get(), static_cast<size_t>(length)) == expected);
  FUZZ_CHECK(request[static_cast<size_t>(length)] == '\0');
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  CheckReply(data, size);
  CheckRequest(data, size);
  return 0;
}
