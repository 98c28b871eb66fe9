// The proxy preferences dialog, "Connection Preferences" (Windows only).
#pragma once
#include <windows.h>

// Options, Proxy: runs the dialog modally, without an owner window, centred
// over the main window. False when the dialog could not be made.
bool ShowProxyPreferences(HWND mainWindow);
INT_PTR CALLBACK ProxyPreferencesDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
// Greys the controls that do not apply to the choices.
void UpdateProxyControls(HWND dialog, bool proxyOn, bool authenticationOn);
