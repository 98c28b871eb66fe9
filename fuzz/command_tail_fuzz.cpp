// The Windows program's command line: the tail is what follows the program
// name, unchanged, and what it asks for follows from its first non-space
// character.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "fuzz/fuzz_support.h"
#include "ui/command_tail.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string line(reinterpret_cast<const char*>(data), size);
  const char* text = line.c_str();
  const std::string tail = CommandTailOf(text);
  const size_t length = std::strlen(text);
  FUZZ_CHECK(tail.size() <= length);
  FUZZ_CHECK(tail.compare(std::string(text + length - tail.size())) == 0);  // a suffix of the line
  FUZZ_CHECK(tail.empty() || (tail[0] != ' ' && tail[0] != '\t'));

  const TailRequest request = ClassifyCommandTail(tail.c_str());
  const size_t first = tail.find_first_not_of(' ');
  if (first == std::string::npos) FUZZ_CHECK(request == TailRequest::None);
  else FUZZ_CHECK(request == (tail[first] == '-' ? TailRequest::Usage : TailRequest::Lookup));
  FUZZ_CHECK(ClassifyCommandTail(text) != TailRequest::None || line.c_str()[strspn(text, " ")] == '\0');
  return 0;
}
