// The command tail and what it asks for.
#include <gtest/gtest.h>

#include "ui/command_tail.h"

namespace {

TEST(CommandTail, IsTheLineLessTheProgramNameAndItsBlanks) {
  const struct {
    const char* Line;
    const char* Tail;
  } rows[] = {
      {"merrowgate.exe", ""},
      {"merrowgate.exe example.com", "example.com"},
      {"  \tmerrowgate.exe \t  example.com", "example.com"},
      {"\"C:\\Program Files\\Merrowgate\\merrowgate.exe\"    example.com", "example.com"},
      {"\"C:\\My Tools\\merrowgate.exe\"example.com", "example.com"},  // no blank after the quote
      {"\"C:\\unterminated quote example.com", ""},
      {"merrowgate.exe example.com other.org", "example.com other.org"},
      {"merrowgate.exe \"quoted arg\"  x ", "\"quoted arg\"  x "},
      {"merrowgate.exe -h", "-h"},
      {"", ""},
  };
  for (const auto& row : rows) EXPECT_EQ(CommandTailOf(row.Line), row.Tail) << row.Line;
  EXPECT_EQ(CommandTailOf(nullptr), "");
}

TEST(CommandTail, HyphenAsksForUsageAnythingElseIsLookedUp) {
  const struct {
    const char* Tail;
    TailRequest Request;
  } rows[] = {
      {"", TailRequest::None},       {"   ", TailRequest::None},           {"-", TailRequest::Usage},
      {"-h", TailRequest::Usage},    {"--help", TailRequest::Usage},       {"  -x", TailRequest::Usage},
      {"/?", TailRequest::Lookup},   {"example.com", TailRequest::Lookup}, {"a -b", TailRequest::Lookup},
      {"\t-x", TailRequest::Lookup},  // only spaces are skipped before the hyphen
  };
  for (const auto& row : rows)
    EXPECT_EQ(static_cast<int>(ClassifyCommandTail(row.Tail)), static_cast<int>(row.Request)) << row.Tail;
}

}  // namespace
