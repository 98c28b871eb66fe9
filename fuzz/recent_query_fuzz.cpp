// The file form of a recent query: any text comes back from its escaped form
// unchanged, the escaped form of UTF-8 is ASCII, and reading any value (what
// an older file or another program wrote) is safe.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_support.h"
#include "settings/recent_queries.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  const std::string escaped = EscapeRecentQuery(input);
  FUZZ_CHECK(UnescapeRecentQuery(escaped) == input);
  const std::string read = UnescapeRecentQuery(input);
  FUZZ_CHECK(read.size() <= input.size());
  return 0;
}
