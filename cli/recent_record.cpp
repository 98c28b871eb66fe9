#include "cli/recent_record.h"

#include "platform/console.h"
#include "settings/recent_queries.h"

// The console's query is UTF-8; the file holds the Windows program's 8-bit text.
void RecentRecord::Record(const char* utf8Text) const {
  if (!path_.empty()) RecordRecentQuery(path_.c_str(), platform::NativeText(utf8Text).c_str());
}
