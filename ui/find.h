// Edit, Find: the common Find dialog over the output pane, and Find Next.
#pragma once
#include <windows.h>

// Ctrl+F: shows the Find dialog (modeless), or brings it forward.
void ShowFindDialog(HWND owner);
// F3: finds the last searched text again; opens the dialog if there is none.
void FindNext(HWND owner);
// The registered message by which the Find dialog reports to its owner.
UINT FindMessageId();
// The main window's handling of that message.
void OnFindMessage(HWND owner, LPARAM findReplace);
// For the message loop: true when the message belonged to the open Find
// dialog and was handled by it.
bool IsFindDialogMessage(MSG* message);

// Selects the next match of `text` in the pane after the selection (or before
// it without FR_DOWN), with the dialog's FR_MATCHCASE and FR_WHOLEWORD; false
// when there is none (the selection stays).
bool FindInPane(HWND pane, const wchar_t* text, DWORD flags);
