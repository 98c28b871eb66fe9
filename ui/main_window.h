// The main window: menu, query controls on a toolbar strip, output pane and
// three-part status bar.
#pragma once
#include <windows.h>

// Creates the main window and its children: 0 on success, 1 after a message
// box on failure.
int CreateMainWindows(HINSTANCE instance);
LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// For the message loop: true when the message was a key of the accelerator
// table (sent on as its command) or belonged to the Find dialog.
bool TranslateMainWindowKeys(MSG* message);
// Lays the children out over the client area; every WM_SIZE.
void LayoutMainWindow();
// Minimum tracking size of the main window, in pixels at 96 DPI.
constexpr int MinimumWidth = 300, MinimumHeight = 250;
// The DPI at which the window's pixel figures hold as they stand.
constexpr int BaseDpi = 96;
// A figure in pixels at 96 DPI scaled to the main window's DPI.
int ScaleForDpi(int pixels);
