// Base64: every text that the encoder accepts decodes back to itself; the
// encoder refuses exactly the texts too long for its limit; decoding any text
// never writes past its capacity.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "fuzz/fuzz_support.h"
#include "net/base64.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const int limit = data[0] | ((data[1] & 1) << 8);  // 0 to 511, around the real 130 and 265
  data += 2;
  size -= 2;

  // Round trip of the input up to its first zero byte.
  const std::string text(reinterpret_cast<const char*>(data), strnlen(reinterpret_cast<const char*>(data), size));
  const size_t n = text.size();
  std::unique_ptr<char[]> encoded(new char[limit > 0 ? limit : 1]);
  const char* result = Base64Encode(text.c_str(), encoded.get(), limit);
  const size_t maxInput = limit >= 5 ? 3 * (static_cast<size_t>(limit - 5) / 4 + 1) : 0;
  const bool fits = limit >= 1 && (n == 0 || n <= maxInput);
  FUZZ_CHECK((result != nullptr) == fits);
  if (result) {
    const size_t length = std::strlen(result);
    FUZZ_CHECK(length == 4 * ((n + 2) / 3));
    FUZZ_CHECK(length < static_cast<size_t>(limit));
    if (length > 0) {
      std::unique_ptr<char[]> decoded(new char[n + 1]());
      FUZZ_CHECK(Base64Decode(result, decoded.get(), static_cast<int>(length), static_cast<int>(n)) != nullptr);
      FUZZ_CHECK(std::memcmp(decoded.get(), text.data(), n) == 0);
    }
  }

  // Decoding arbitrary bytes into a buffer exactly as large as its capacity.
  const int capacity = static_cast<int>(size % 97);
  std::unique_ptr<char[]> out(new char[capacity > 0 ? capacity : 1]);
  std::unique_ptr<char[]> in(new char[size > 0 ? size : 1]);
  std::memcpy(in.get(), data, size);
  const char* decoded = Base64Decode(in.get(), out.get(), static_cast<int>(size), capacity);
  FUZZ_CHECK((decoded != nullptr) == (size > 0 && size % 4 == 0));
  for (size_t i = 0; i < size; ++i) (void)Base64CharValue(static_cast<char>(data[i]));
  return 0;
}
