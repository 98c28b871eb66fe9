#include "cli/recent_record.h"

#include <system_error>

#include "platform/console.h"
#include "settings/recent_queries.h"

// The console's query is UTF-8; the file holds the Windows program's 8-bit text.
void RecentRecord::Record(const char* utf8Text) {
  if (path_.empty() || !utf8Text) return;
  Wait();
  std::string text = platform::NativeText(utf8Text);
  const auto record = [path = path_, text = std::move(text)] { RecordRecentQuery(path.c_str(), text.c_str()); };
  try {
    writer_ = std::thread(record);
  } catch (const std::system_error&) {
    record();  // no thread to be had: the lookup waits for it instead
  }
}

void RecentRecord::Wait() {
  if (writer_.joinable()) writer_.join();
}
