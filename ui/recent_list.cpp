#include "ui/recent_list.h"

#include <cstring>
#include <string>

#include "settings/recent_queries.h"
#include "settings/settings.h"
#include "ui/controls.h"

namespace {

// Another copy that does not answer must not hold up our lookups for ever: it
// gets this long, and none if the system already sees it as hung.
constexpr UINT PeerAnswerTimeoutMs = 5000;

}  // namespace

void LoadRecentQueries() {
  const std::string path = SettingsFilePath();
  for (const std::string& entry : LoadRecentQueryList(path.c_str())) {
    if (SendMessageA(Ui.Query, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(entry.c_str())) !=
        CB_ERR)
      continue;
    SendMessageA(Ui.Query, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry.c_str()));
  }
}

void ShareRecentQuery(const char* text) {
  COPYDATASTRUCT record{};
  record.dwData = NotifyMessageId;
  record.cbData = static_cast<DWORD>(std::strlen(text) + 1);
  record.lpData = const_cast<char*>(text);
  HWND const first = FindWindowExA(nullptr, nullptr, MainWindowClass, nullptr);
  for (HWND window = first; window;) {
    if (window == Ui.Main) {
      SendMessageA(window, WM_COPYDATA, reinterpret_cast<WPARAM>(Ui.Main), reinterpret_cast<LPARAM>(&record));
    } else {
      DWORD_PTR answer = 0;
      SendMessageTimeoutA(window, WM_COPYDATA, reinterpret_cast<WPARAM>(Ui.Main), reinterpret_cast<LPARAM>(&record),
                          SMTO_BLOCK | SMTO_ABORTIFHUNG, PeerAnswerTimeoutMs, &answer);
    }
    window = FindWindowExA(nullptr, window, MainWindowClass, nullptr);
    if (window == first) break;
  }
  SaveRecentQueries(text);
}

// The file's own list with the text on top, not this window's list: what
// other copies recorded since this one started stays.
void SaveRecentQueries(const char* text) { RecordRecentQuery(SettingsFilePath().c_str(), text); }

// The record comes from any process that knows the tag, so its size is
// trusted only as far as a terminator inside it.
void AcceptSharedQuery(HWND sender, const COPYDATASTRUCT* record) {
  if (!record || record->dwData != NotifyMessageId || !record->lpData || record->cbData == 0) return;
  const char* data = static_cast<const char*>(record->lpData);
  size_t length = 0;
  while (length < record->cbData && data[length]) ++length;
  std::string text(data, length);
  if (text.size() > static_cast<size_t>(RecentQueryCapacity - 1)) text.resize(RecentQueryCapacity - 1);
  BlankControlCharacters(text);  // the list is written to the settings file
  if (text.empty()) return;

  const LRESULT found =
      SendMessageA(Ui.Query, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(text.c_str()));
  if (found == 0) return;
  if (found > 0) SendMessageA(Ui.Query, CB_DELETESTRING, static_cast<WPARAM>(found), 0);
  SendMessageA(Ui.Query, CB_INSERTSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
  if (sender == Ui.Main) SendMessageA(Ui.Query, CB_SETCURSEL, 0, 0);
}
