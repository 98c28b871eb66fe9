// The console front end's OutputSink: the pane's text on stdout, coloured by
// text kind with ANSI escapes when asked to.
#pragma once
#include <cstdio>
#include <string>

#include "net/output_sink.h"

class ConsoleSink final : public OutputSink {
 public:
  ConsoleSink(std::FILE* out, bool colour, std::string query)
      : out_(out), colour_(colour), query_(std::move(query)) {}
  void ClearOutput() override {}
  void AppendOutput(TextKind kind, const char* text) override;
  void SetStatus(int, const char*) override {}
  void SetInputLocked(bool) override {}
  int ReadQueryText(char* buffer, int capacity) override;
  void SelectQueryText() override {}
  void SetMainTitle(const char*) override {}
  void EnableSaveAs() override {}
  void ShareRecentQuery(const char*) override {}

 private:
  std::FILE* out_;
  bool colour_;
  std::string query_;
};
