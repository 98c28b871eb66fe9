// The subclass procedure of the query box's edit field: Enter looks up,
// Escape cancels, Tab moves on to the output pane.
#pragma once
#include <windows.h>

LRESULT CALLBACK QueryEditProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
