// A test OutputSink that records every call, for assertions on the exact
// pieces, kinds and status texts.
#pragma once
#include <algorithm>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "net/output_sink.h"
#include "tests/support/test_lookup.h"

class RecordingSink final : public OutputSink {
 public:
  struct Piece {
    int Kind;
    std::string Text;
  };

  explicit RecordingSink(std::string query = {}) : query_(std::move(query)) {}

  void ClearOutput() override {
    std::lock_guard<std::mutex> lock(mutex_);
    pieces_.clear();
    ++clears_;
  }
  void AppendOutput(TextKind kind, const char* text) override {
    std::lock_guard<std::mutex> lock(mutex_);
    pieces_.push_back({kind, text});
  }
  void SetStatus(int part, const char* text) override {
    std::lock_guard<std::mutex> lock(mutex_);
    status_.emplace_back(part, text);
  }
  void SetInputLocked(bool locked) override {
    std::lock_guard<std::mutex> lock(mutex_);
    events_.push_back(locked ? "lock" : "unlock");
  }
  int ReadQueryText(char* buffer, int capacity) override {
    std::lock_guard<std::mutex> lock(mutex_);
    ++reads_;
    if (capacity <= 0) return 0;
    size_t n = query_.size() < static_cast<size_t>(capacity - 1) ? query_.size() : static_cast<size_t>(capacity - 1);
    query_.copy(buffer, n);
    buffer[n] = '\0';
    return static_cast<int>(n);
  }
  // Like a Unicode query box: -1 until a test gives the UTF-8 text.
  int ReadQueryTextUtf8(char* buffer, int capacity) override {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!utf8Query_ || capacity <= 0) return -1;
    const size_t n = std::min(utf8Query_->size(), static_cast<size_t>(capacity - 1));
    utf8Query_->copy(buffer, n);
    buffer[n] = '\0';
    return static_cast<int>(n);
  }
  void SelectQueryText() override {
    std::lock_guard<std::mutex> lock(mutex_);
    events_.push_back("select");
  }
  void SetMainTitle(const char* text) override {
    std::lock_guard<std::mutex> lock(mutex_);
    events_.push_back(std::string("title:") + text);
  }
  void EnableSaveAs() override {
    std::lock_guard<std::mutex> lock(mutex_);
    events_.push_back("saveas");
  }
  void ShareRecentQuery(const char* text) override {
    std::lock_guard<std::mutex> lock(mutex_);
    events_.push_back(std::string("share:") + text);
  }

  void SetQuery(std::string query) {
    std::lock_guard<std::mutex> lock(mutex_);
    query_ = std::move(query);
  }
  void SetUtf8Query(std::optional<std::string> query) {
    std::lock_guard<std::mutex> lock(mutex_);
    utf8Query_ = std::move(query);
  }
  // The pane's whole text, as it would read.
  std::string Text() const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::string all;
    for (const Piece& p : pieces_) all += p.Text;
    return all;
  }
  // Only the text of one kind, pieces joined.
  std::string TextOf(int kind) const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::string all;
    for (const Piece& p : pieces_)
      if (p.Kind == kind) all += p.Text;
    return all;
  }
  std::vector<Piece> Pieces() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return pieces_;
  }
  std::vector<std::pair<int, std::string>> Status() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return status_;
  }
  std::vector<std::string> Events() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return events_;
  }
  int Clears() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return clears_;
  }
  int Reads() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return reads_;
  }

 private:
  mutable std::mutex mutex_;
  std::string query_;
  std::optional<std::string> utf8Query_;
  std::vector<Piece> pieces_;
  std::vector<std::pair<int, std::string>> status_;
  std::vector<std::string> events_;
  int clears_ = 0;
  int reads_ = 0;
};

// Installs a sink for the lifetime of a test and puts the settings back.
struct SinkScope {
  explicit SinkScope(OutputSink* sink);
  ~SinkScope();
};
