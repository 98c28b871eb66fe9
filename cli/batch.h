// Batches of queries: where they come from, and how they run several at a
// time while their outputs still come out in the order of the queries.
#pragma once
#include <atomic>
#include <cstddef>
#include <cstdio>
#include <functional>
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

using QueryRun = std::function<QueryOutcome(const std::string& query)>;
using QueryWrite = std::function<void(const std::string& query, QueryOutcome& outcome)>;

// Runs `run` for every query of `feed` on up to `jobs` threads and hands each
// outcome to `write` in the feed's order, one at a time. A query is started
// only while fewer than `window` outcomes wait to be written, so memory stays
// flat however long the list. No query is started once `stop` is 1.
void RunBatch(QueryFeed& feed, int jobs, size_t window, const QueryRun& run, const QueryWrite& write,
              const std::atomic<int>& stop);
