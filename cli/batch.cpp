#include "cli/batch.h"

#include <cerrno>
#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>

#include "platform/text.h"

bool QueryFeed::ReadLine(std::string& line) {
  line.clear();
  // Byte by byte, so that a NUL in a line is a byte like another and never
  // joins the line to the next one.
  int c;
  while ((c = std::getc(list_)) != EOF) {
    if (c == '\n') return true;
    line += static_cast<char>(c);
  }
  if (std::ferror(list_)) {
    readFailed_ = true;
    readErrno_ = errno;
    return false;
  }
  return !line.empty();  // a last line without its line end
}

bool QueryFeed::Next(std::string& query) {
  if (next_ < queries_.size()) {
    query = queries_[next_++];
    return true;
  }
  if (!list_ || readFailed_) return false;
  std::string line;
  while (ReadLine(line)) {
    query = std::string(Trim(line, " \t\r\n\f\v"));
    if (!query.empty() && query[0] != '#') return true;
  }
  return false;
}

namespace {

// The batch's shared state: the feed, the outcomes waiting for their turn,
// and whose turn it is.
struct Batch {
  Batch(QueryFeed& f, JobSlots& j, BatchWindow w, const QueryRun& r, const QueryWrite& wr, const std::atomic<int>& s)
      : feed(f), slots(j), window(w.Queries < 1 ? 1 : w.Queries), budget(w.Bytes), run(r), write(wr), stop(s) {}
  QueryFeed& feed;
  JobSlots& slots;
  const size_t window, budget;
  const QueryRun& run;
  const QueryWrite& write;
  const std::atomic<int>& stop;

  std::mutex lock;
  std::condition_variable turn;
  size_t started = 0;  // queries taken from the feed
  size_t written = 0;  // outcomes written
  bool fed = false;    // the feed has run dry
  bool writing = false;
  size_t waitingBytes = 0;  // held by the outcomes in `waiting`
  std::map<size_t, std::pair<std::string, QueryOutcome>> waiting;

  // Takes the next query when the window has room; false when there is none.
  // The query in line to be written has always been started, so a full
  // window always empties.
  bool Take(size_t& index, std::string& query) {
    std::unique_lock<std::mutex> hold(lock);
    turn.wait(hold, [&] { return fed || stop == 1 || (started - written < window && waitingBytes < budget); });
    if (fed || stop == 1 || !feed.Next(query)) {
      fed = true;
      turn.notify_all();
      return false;
    }
    index = started++;
    return true;
  }

  // Files an outcome; the thread that finds the next outcome in line writes
  // it and every one that follows it and is ready.
  void Done(size_t index, std::string query, QueryOutcome outcome) {
    std::unique_lock<std::mutex> hold(lock);
    waitingBytes += Size(outcome);
    waiting.emplace(index, std::make_pair(std::move(query), std::move(outcome)));
    if (writing) return;
    writing = true;
    for (auto next = waiting.find(written); next != waiting.end(); next = waiting.find(written)) {
      std::pair<std::string, QueryOutcome> item = std::move(next->second);
      waiting.erase(next);
      waitingBytes -= Size(item.second);
      hold.unlock();
      write(item.first, item.second);
      hold.lock();
      ++written;
      turn.notify_all();
    }
    writing = false;
  }

  static size_t Size(const QueryOutcome& o) { return o.Output.size() + o.Errors.size(); }

  void Work() {
    size_t index;
    std::string query;
    while (Take(index, query)) {
      slots.Acquire();
      QueryOutcome outcome = run(query);
      slots.Release();
      Done(index, std::move(query), std::move(outcome));
    }
  }
};

}  // namespace

void RunBatch(QueryFeed& feed, int threads, JobSlots& slots, BatchWindow window, const QueryRun& run,
              const QueryWrite& write, const std::atomic<int>& stop) {
  Batch batch(feed, slots, window, run, write, stop);
  if (threads <= 1) {
    batch.Work();
    return;
  }
  std::vector<std::thread> workers;
  for (int i = 0; i < threads; ++i) workers.emplace_back([&batch] { batch.Work(); });
  for (std::thread& t : workers) t.join();
}
