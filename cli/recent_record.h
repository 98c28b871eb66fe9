// The console's share of the recent-queries list: it has none of its own, so
// each lookup goes straight into the settings file's list, where the Windows
// program finds it at its next start.
#pragma once
#include <string>
#include <thread>

class RecentRecord {
 public:
  // `path`: the settings file; empty for none.
  explicit RecentRecord(std::string path) : path_(std::move(path)) {}
  ~RecentRecord() { Wait(); }
  RecentRecord(const RecentRecord&) = delete;
  RecentRecord& operator=(const RecentRecord&) = delete;

  // Records the text on a thread of its own, while the lookup waits for its
  // first server: the file is read, changed and replaced under the lock of
  // every running copy, which takes a file system some time (ext4 writes the
  // new file out before the rename that replaces the old one). One record
  // ends before the next begins.
  void Record(const char* utf8Text);
  // Until the last record is in the file.
  void Wait();

 private:
  std::string path_;
  std::thread writer_;
};
