// One received chunk through the referral scan, in a buffer exactly as long
// as the chunk and its terminator, so any read past the received bytes shows.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "engine/classify.h"
#include "engine/whois_exchange.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > ReceiveChunkSize) size = ReceiveChunkSize;
  const int n = static_cast<int>(size);
  std::unique_ptr<char[]> chunk(new char[size + 1]);
  std::memcpy(chunk.get(), data, size);
  chunk[size] = '\0';

  // A referral from an earlier chunk stays unless this one names another.
  std::unique_ptr<char[]> referral(new char[HostCapacity]);
  std::strcpy(referral.get(), "whois.earlier.example");
  ScanForReferral(chunk.get(), n, referral.get());

  const size_t length = strnlen(referral.get(), HostCapacity);
  FUZZ_CHECK(length < static_cast<size_t>(HostCapacity));
  for (size_t i = 0; i < length; ++i) {
    const char c = referral[i];
    FUZZ_CHECK(c != '\r' && c != '\n' && c != ' ');
    FUZZ_CHECK(!(c >= 'A' && c <= 'Z'));
  }
  // The chunk is lower-cased up to its first zero byte and not changed beyond.
  const size_t text = strnlen(chunk.get(), size);
  for (size_t i = 0; i < size; ++i) {
    const char before = static_cast<char>(data[i]);
    const char expected =
        i < text && before >= 'A' && before <= 'Z' ? static_cast<char>(before - 'A' + 'a') : before;
    FUZZ_CHECK(chunk[i] == expected);
  }
  return 0;
}
