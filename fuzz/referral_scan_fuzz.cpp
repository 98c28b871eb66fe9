// One reply through the referral scan in up to three chunks (the first byte
// says where to cut), each in a buffer exactly as long as the chunk and its
// terminator, so any read past the received bytes shows.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "engine/classify.h"
#include "engine/referral_scan.h"
#include "engine/whois_exchange.h"
#include "fuzz/fuzz_support.h"

namespace {

const char Asked[] = "whois.asked.example";

void ScanChunk(ReferralScan& scan, const std::uint8_t* data, size_t size) {
  if (size > ReceiveChunkSize) size = ReceiveChunkSize;
  std::unique_ptr<char[]> chunk(new char[size + 1]);
  std::memcpy(chunk.get(), data, size);
  chunk[size] = '\0';
  scan.Scan(chunk.get(), static_cast<int>(size));
  FUZZ_CHECK(std::memcmp(chunk.get(), data, size) == 0);  // searched as it came
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const size_t cut = data[0] % 16;
  ++data;
  --size;

  // A referral from an earlier reply stays unless this one names another.
  std::unique_ptr<char[]> referral(new char[HostCapacity]);
  std::strcpy(referral.get(), "whois.earlier.example");
  ReferralScan scan(Asked, referral.get());
  const size_t first = cut < size ? cut : size;
  const size_t second = first + (size - first) / 2;
  ScanChunk(scan, data, first);
  ScanChunk(scan, data + first, second - first);
  ScanChunk(scan, data + second, size - second);

  const size_t length = strnlen(referral.get(), HostCapacity);
  FUZZ_CHECK(length < static_cast<size_t>(HostCapacity));
  for (size_t i = 0; i < length; ++i) {
    const char c = referral[i];
    FUZZ_CHECK(c != '\r' && c != '\n' && c != ' ');
    FUZZ_CHECK(!(c >= 'A' && c <= 'Z'));
  }
  // Never the server just asked.
  FUZZ_CHECK(std::strcmp(referral.get(), Asked) != 0);
  FUZZ_CHECK(std::strcmp(referral.get(), "whois.asked.example:43") != 0);
  return 0;
}
