// Shared pieces of the fuzz targets: a sink that keeps the appended pieces,
// and a check that aborts (so libFuzzer keeps the input) when a rule breaks.
#pragma once
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "net/output_sink.h"

#define FUZZ_CHECK(condition)                                                            \
  do {                                                                                   \
    if (!(condition)) {                                                                  \
      std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                      \
    }                                                                                    \
  } while (0)

class PieceSink final : public QuietSink {
 public:
  struct Piece {
    TextKind Kind;
    std::string Text;
  };
  std::vector<Piece> Pieces;
  std::string Query;

  void ClearOutput() override { Pieces.clear(); }
  void AppendOutput(TextKind kind, const char* text) override { Pieces.push_back({kind, text}); }
  int ReadQueryText(char* buffer, int capacity) override {
    if (capacity <= 0) return 0;
    const size_t n = Query.size() < static_cast<size_t>(capacity - 1) ? Query.size() : capacity - 1;
    Query.copy(buffer, n);
    buffer[n] = '\0';
    return static_cast<int>(n);
  }
  void ShareRecentQuery(const char*) override {}
};
