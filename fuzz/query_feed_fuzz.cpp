// Any list file through the query reader: every query it gives is a line of
// the file without the blanks around it, never empty, never a comment, and
// the queries come in the file's order.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "cli/batch.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  std::FILE* file = std::tmpfile();
  if (!file) return 0;
  std::fwrite(text.data(), 1, text.size(), file);
  std::rewind(file);
  QueryFeed feed({}, file);
  size_t at = 0;
  for (std::string query; feed.Next(query);) {
    FUZZ_CHECK(!query.empty() && query[0] != '#');
    FUZZ_CHECK(query.find('\n') == std::string::npos);
    const std::string blanks = " \t\r\n\f\v";
    FUZZ_CHECK(blanks.find(query.front()) == std::string::npos && blanks.find(query.back()) == std::string::npos);
    const size_t found = text.find(query, at);
    FUZZ_CHECK(found != std::string::npos);
    at = found + query.size();
  }
  FUZZ_CHECK(!feed.ReadFailed());
  std::fclose(file);
  return 0;
}
