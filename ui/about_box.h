// Help, About: the program's icon, name, version and the maker's links.
#pragma once
#include <windows.h>

void ShowAboutBox(HWND owner);
INT_PTR CALLBACK AboutBoxProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
// The link label (1801 to 1803) under a point in the dialog's client
// coordinates, or nullptr.
HWND AboutLinkAt(HWND dialog, LPARAM point);
