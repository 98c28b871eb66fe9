#include "ui/recent_list.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "settings/recent_queries.h"
#include "settings/settings.h"
#include "ui/controls.h"
#include "ui/wide_text.h"

namespace {

// Another copy that does not answer must not hold up our lookups for ever: it
// gets this long, and none if the system already sees it as hung.
constexpr UINT PeerAnswerTimeoutMs = 5000;

LRESULT FindEntry(const std::wstring& text) {
  return SendMessageW(Ui.Query, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(text.c_str()));
}

// Control characters other than the tab become blanks: the list is written
// to the settings file, one line an entry.
void BlankControlCharacters(std::wstring& text) {
  for (wchar_t& c : text)
    if ((c < 0x20 && c != L'\t') || c == 0x7F) c = L' ';
}

}  // namespace

ULONG_PTR Utf8RecordTag() { return static_cast<ULONG_PTR>(NotifyMessageId) + 0x10000; }

// The file's entries are UTF-8, but an older copy wrote its ANSI code page
// text, which is no UTF-8 as soon as it holds a letter beyond ASCII: that is
// read in the code page.
void LoadRecentQueries() {
  const std::string path = SettingsFilePath();
  for (const std::string& entry : LoadRecentQueryList(path.c_str())) {
    const std::wstring text = WideFromUtf8(entry.c_str(), entry.size());
    if (text.empty() || FindEntry(text) != CB_ERR) continue;
    SendMessageW(Ui.Query, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
  }
}

// An ASCII text goes as it always went (the 8-bit text tagged with
// NotifyMessageId), so that an older copy still takes it; any other text goes
// as UTF-8 under a tag of its own, which an older copy ignores rather than
// show in the wrong code page.
void ShareRecentQuery(const char* text) {
  COPYDATASTRUCT record{};
  record.dwData = IsAsciiText(text) ? NotifyMessageId : Utf8RecordTag();
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
// trusted only as far as a terminator inside it. The 8-bit form is in the
// ANSI code page (an older copy's text), the other one UTF-8.
void AcceptSharedQuery(HWND sender, const COPYDATASTRUCT* record) {
  if (!record || !record->lpData || record->cbData == 0) return;
  const bool utf8 = record->dwData == Utf8RecordTag();
  if (!utf8 && record->dwData != NotifyMessageId) return;
  const char* data = static_cast<const char*>(record->lpData);
  size_t length = 0;
  while (length < record->cbData && data[length]) ++length;
  std::wstring text;
  if (utf8) {
    text = WideFromUtf8(data, length);
  } else if (length > 0) {
    const int n = length > 0x7FFFFFF ? 0x7FFFFFF : static_cast<int>(length);
    text.resize(static_cast<size_t>(n));
    text.resize(static_cast<size_t>(std::max(0, MultiByteToWideChar(CP_ACP, 0, data, n, &text[0], n))));
  }
  if (text.size() > static_cast<size_t>(RecentQueryCapacity - 1)) {
    size_t cut = RecentQueryCapacity - 1;
    if (text[cut] >= 0xDC00 && text[cut] <= 0xDFFF) --cut;  // not between the halves of a pair
    text.resize(cut);
  }
  BlankControlCharacters(text);
  if (text.empty()) return;

  const LRESULT found = FindEntry(text);
  if (found == 0) return;
  if (found > 0) SendMessageW(Ui.Query, CB_DELETESTRING, static_cast<WPARAM>(found), 0);
  SendMessageW(Ui.Query, CB_INSERTSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
  if (sender == Ui.Main) SendMessageW(Ui.Query, CB_SETCURSEL, 0, 0);
}
