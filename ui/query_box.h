// The query box: a drop-down combo box whose edit field Enter looks up from,
// Escape cancels in and Tab leaves for the output pane. It is a Unicode window
// in an otherwise ANSI program, so that a name in any script reaches the
// lookup intact rather than as the code page's "?".
#pragma once
#include <windows.h>

// Makes the box as a child of `parent` and subclasses its edit field; fills
// Ui.Query, Ui.QueryEdit and Ui.QueryEditProc. Returns the box.
HWND CreateQueryBox(HWND parent, HINSTANCE instance);

// The edit field's text as UTF-8, cut to capacity - 1 bytes at a character
// boundary; returns the byte count (0 for none).
int ReadQueryBoxUtf8(char* buffer, int capacity);

LRESULT CALLBACK QueryEditProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
