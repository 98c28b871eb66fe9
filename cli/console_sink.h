// The console front end's OutputSink: the pane's text on stdout, coloured by
// text kind with ANSI escapes when asked to.
#pragma once
#include <cstdio>
#include <string>

#include "net/output_sink.h"

class ConsoleSink final : public QuietSink {
 public:
  // `recentPath`: the settings file whose recent-queries list records each
  // lookup; empty for none.
  ConsoleSink(std::FILE* out, bool colour, std::string query, std::string recentPath = {})
      : out_(out), colour_(colour), query_(std::move(query)), recentPath_(std::move(recentPath)) {}
  void AppendOutput(TextKind kind, const char* text) override;
  int ReadQueryText(char* buffer, int capacity) override;
  void ShareRecentQuery(const char* text) override;

 private:
  std::FILE* out_;
  bool colour_;
  std::string query_;
  std::string recentPath_;
};
