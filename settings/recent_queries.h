// The recent-queries list in its file form: section Recent, keys REC0, REC1 ...
// Portable, so the console front end records its lookups in the same list.
#pragma once
#include <string>
#include <vector>

// At most this many entries are read and written.
constexpr int RecentQueryFileLimit = 100;
// Each entry holds at most 1023 bytes of UTF-8, cut at a character's start.
constexpr int RecentQueryCapacity = 1024;

// The entries are UTF-8 in memory and ASCII in the file: "%" and the bytes
// of every UTF-8 character beyond ASCII as "%XX" (see the .cpp for the rule).
std::string EscapeRecentQuery(const std::string& text);
std::string UnescapeRecentQuery(const std::string& text);

// REC0 onwards, up to the first empty or absent key; later duplicates (letter
// case ignored) are dropped.
std::vector<std::string> LoadRecentQueryList(const char* path);
// The first 100 entries as REC0 onwards, then an empty key after the last.
void SaveRecentQueryList(const char* path, const std::vector<std::string>& entries);
// The list rule of a new lookup: an equal entry (letter case ignored) at the
// top stays as it is; elsewhere it is removed and the text goes to the top.
void MoveRecentQueryToTop(std::vector<std::string>& entries, const std::string& text);
// One lookup recorded in the file: its text (control characters blanked) on
// top of the list as the file holds it, in one read and one write that no
// other running copy's record can come between. false when the file could
// not be written or there is no text.
bool RecordRecentQuery(const char* path, const char* text);

// Letter case ignored for ASCII letters, as the query box compares entries.
bool SameRecentQuery(const std::string& a, const std::string& b);
