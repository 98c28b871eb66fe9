// Any port-43 reply through the detectors: they read only the bytes given; a
// notice that turns the user away still does so with a record appended far
// beyond the lines it reads, and a rate-limit notice stops being one once the
// reply is longer than a notice can be.
#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/refusal_notice.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string reply(reinterpret_cast<const char*>(data), size);
  const bool turnsAway = TurnsAway(reply.data(), reply.size());
  const bool blank = reply.find_first_not_of(std::string(" \t\r\n\f\v\0", 7)) == std::string::npos;
  if (turnsAway && !blank) {
    const std::string longer = reply + "\n" + std::string(9000, 'x') + "\nDomain Name: EXAMPLE.TEST\n";
    FUZZ_CHECK(TurnsAway(longer.data(), longer.size()));
  }
  if (IsRateLimitNotice(reply.data(), reply.size())) {
    FUZZ_CHECK(reply.size() <= RateLimitNoticeLimit);
    const std::string longer = reply + std::string(RateLimitNoticeLimit, '\n');
    FUZZ_CHECK(!IsRateLimitNotice(longer.data(), longer.size()));
  }
  return 0;
}
