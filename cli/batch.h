// Batches of queries: where they come from, and how they run several at a
// time while their outputs still come out in the order of the queries.
#pragma once
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdio>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

// The queries of a batch: the command line's first, then the lines of a list
// (a file or standard input), read as they are needed. Blank lines and lines
// whose first non-blank character is '#' are skipped; blanks and a CR around
// a query go.
class QueryFeed {
 public:
  QueryFeed(std::vector<std::string> queries, std::FILE* list) : queries_(std::move(queries)), list_(list) {}
  // The next query; false when there is none left or the list cannot be read
  // (ReadFailed then tells).
  bool Next(std::string& query);
  bool ReadFailed() const { return readFailed_; }
  int ReadErrno() const { return readErrno_; }

 private:
  bool ReadLine(std::string& line);

  std::vector<std::string> queries_;
  size_t next_ = 0;
  std::FILE* list_;
  bool readFailed_ = false;
  int readErrno_ = 0;
};

// What one query of a batch gives: its output, kept until every query before
// it has been written, and what its end tells.
struct QueryOutcome {
  std::string Output;  // for stdout
  std::string Errors;  // for stderr, written with the output
  bool Answered = false;
  int WriteErrno = 0;   // why writing the output straight to stdout failed; 0 when it did not
  std::string Domain;   // the domain asked about, if any
  std::string Expires;  // its expiry time (RFC 3339), when found
};

// The turns of a batch: at most so many lookups at work at once. A lookup
// that waits for a server (paused, or at its connection limit) gives its
// turn to another meanwhile.
class JobSlots {
 public:
  explicit JobSlots(int jobs) : free_(jobs < 1 ? 1 : jobs) {}
  void Acquire() {
    std::unique_lock<std::mutex> hold(lock_);
    freed_.wait(hold, [this] { return free_ > 0; });
    --free_;
  }
  void Release() {
    {
      std::lock_guard<std::mutex> hold(lock_);
      ++free_;
    }
    freed_.notify_one();
  }

 private:
  std::mutex lock_;
  std::condition_variable freed_;
  int free_;
};

using QueryRun = std::function<QueryOutcome(const std::string& query)>;
using QueryWrite = std::function<void(const std::string& query, QueryOutcome& outcome)>;

// Runs `run` for every query of `feed` on `threads` threads, each lookup in
// one of the turns of `slots`, and hands each outcome to `write` in the feed's
// order, one at a time. A query is started only while it is fewer than
// `window.Queries` ahead of the next one to be written and the outcomes
// waiting for their turn hold less than `window.Bytes`, so memory stays flat
// however long the list, while a slow server holds up only its own queries.
// No query is started once `stop` is 1.
struct BatchWindow {
  size_t Queries;
  size_t Bytes;
};
void RunBatch(QueryFeed& feed, int threads, JobSlots& slots, BatchWindow window, const QueryRun& run,
              const QueryWrite& write, const std::atomic<int>& stop);
