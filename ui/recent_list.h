// The recent-queries list of the query box, shared with every running copy of
// the program through WM_COPYDATA tagged with "MERROWGATE_NOTIFY". The texts
// are UTF-8; the box holds them as UTF-16.
#pragma once
#include <windows.h>

// The tag of a shared text in UTF-8: beyond every registered message number,
// so an older copy, which knows NotifyMessageId only, leaves it alone.
ULONG_PTR Utf8RecordTag();
// Start-up: the list from the settings file into the query box.
void LoadRecentQueries();
// Worker thread, at the start of a lookup: the text to the top of every
// running copy's list (this one's included), then to the top of the file's.
void ShareRecentQuery(const char* text);
void SaveRecentQueries(const char* text);
// WM_COPYDATA of the main window.
void AcceptSharedQuery(HWND sender, const COPYDATASTRUCT* record);
