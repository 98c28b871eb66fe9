// The windows of the program: the handles of the main window and its
// children, made once at start-up. The ids live in res/resource.h.
#pragma once
#include <windows.h>

#include <atomic>

#include "res/resource.h"

constexpr char MainWindowClass[] = "merrowgateClass";
constexpr wchar_t MainWindowClassW[] = L"merrowgateClass";
constexpr char MainWindowTitle[] = "merrowgate";
constexpr char NotifyMessageName[] = "MERROWGATE_NOTIFY";

// Handles made at start-up and kept until exit; only the pane's changes: a
// long text is cleared by putting a fresh control in the old one's place.
// The worker thread reads them, only ever to send messages.
struct MainWindowHandles {
  HWND Main = nullptr;
  HWND StatusBar = nullptr;
  HWND Toolbar = nullptr;
  HWND Pane = nullptr;
  HWND Label = nullptr;
  HWND Query = nullptr;      // the combo box
  HWND QueryEdit = nullptr;  // its edit field
  HWND Go = nullptr;
  WNDPROC QueryEditProc = nullptr;  // the edit control's own procedure
  int PartEdges[3] = {0, 0, 0};
};

extern MainWindowHandles Ui;
// The registered "MERROWGATE_NOTIFY" message, tag of shared recent queries.
extern UINT NotifyMessageId;
// True from the end of window creation until the main window is destroyed; the
// output sink does nothing once it is false.
extern std::atomic<bool> WindowsAlive;
