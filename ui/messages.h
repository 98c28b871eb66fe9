// Every message box of the windows: its text, caption and icon in one table,
// so the wording is kept and reviewed in one place.
#pragma once
#include <windows.h>

struct MessageBoxText {
  const char* Text;  // null for the boxes that show the system's error text
  const char* Caption;
  UINT Style;
};

namespace Messages {

// Start-up and window creation; the boxes have no owner.
constexpr MessageBoxText SocketsMissing{"Unsupported WINSOCK version.", "merrowgate", MB_OK};
constexpr MessageBoxText RichEditMissing{"Error loading rich edit library! Make sure you have riched20.dll", "quenfold",
                                         MB_ICONERROR};
constexpr MessageBoxText MainWindowFailed{"Error creating main window", "quenfold", MB_ICONERROR};
constexpr MessageBoxText StatusBarFailed{"Status Bar not created!", nullptr, MB_ICONERROR};
constexpr MessageBoxText ToolbarFailed{"Toolbar Bar not created!", nullptr, MB_ICONERROR};
constexpr MessageBoxText PaneFailed{"Error creating input window", "quenfold", MB_ICONERROR};
constexpr MessageBoxText Usage{"Usage:\n\tmerrowgate.exe <domain> | <IP> \n", "merrowgate", MB_ICONINFORMATION};

// Commands.
constexpr MessageBoxText ProxyDialogFailed{"Error?", "brisklet", MB_OK};
constexpr MessageBoxText FormatRefused{"Error setting character format", "merrowgate", MB_ICONINFORMATION};
// Find: the text is a format with the searched text in place of %s.
constexpr MessageBoxText TextNotFound{"Cannot find \"%s\"", "merrowgate", MB_ICONINFORMATION};

// Save As: the system's own error text under these captions.
constexpr MessageBoxText CannotOpenFile{nullptr, "Can't open file for writing!", MB_ICONEXCLAMATION};
constexpr MessageBoxText SaveFailed{nullptr, "Error during save.", MB_ICONEXCLAMATION};

}  // namespace Messages

// Shows one of the boxes above, `detail` in place of a "%s" in its text;
// returns MessageBoxA's result.
int ShowMessage(HWND owner, const MessageBoxText& message, const char* detail = nullptr);
// Shows a box whose text is the system's message for the calling thread's
// last error code, under the caption of `message`.
void ShowSystemError(HWND owner, const MessageBoxText& message);
