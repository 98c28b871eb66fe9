// The console's share of the recent-queries list: it has none of its own, so
// each lookup goes straight into the settings file's list, where the Windows
// program finds it at its next start.
#pragma once
#include <string>

class RecentRecord {
 public:
  // `path`: the settings file; empty for none.
  explicit RecentRecord(std::string path) : path_(std::move(path)) {}
  void Record(const char* utf8Text) const;

 private:
  std::string path_;
};
