// The windows of the program: resource and control ids (also read by the
// resource compiler) and, for the C++ code, the handles of the main window and
// its children.
#pragma once

// Resources
#define IDR_MAINMENU 10000
#define IDD_PROXY 1600

// Menu commands: 1xx File, 2xx Edit, 3xx Options, 6xx Help
#define IDM_EXIT 101
#define IDM_SAVEAS 105
#define IDM_COPY 204
#define IDM_SELECTALL 207
#define IDM_RESOLVEDOMAINS 301
#define IDM_REVERSEIP 303
#define IDM_PROXY 304
#define IDM_ABUSEINFO 305
#define IDM_FONT 306
#define IDM_ABOUT 601

// Main window children
#define IDC_STATUSBAR 100
#define IDC_GO 1500

// Proxy preferences dialog
#define IDC_PROXY_TYPE 1601
#define IDC_PROXY_HOST 1602
#define IDC_PROXY_PORT 1603
#define IDC_PROXY_USER 1604
#define IDC_PROXY_PASS 1605
#define IDC_PROXY_TYPE_LABEL 1606
#define IDC_PROXY_USEAUTH 1607
#define IDC_PROXY_USER_LABEL 1608
#define IDC_PROXY_PASS_LABEL 1609
#define IDC_PROXY_HOST_LABEL 1610
#define IDC_PROXY_PORT_LABEL 1611
#define IDC_PROXY_ENABLED 1612
#define IDC_PROXY_DEBUG 1613
#define IDC_PROXY_RESOLVE 1614

// About box
#define IDC_ABOUT_WEBSITE 1801
#define IDC_ABOUT_FORUM 1802
#define IDC_ABOUT_MAIL 1803
#define IDC_ABOUT_TITLE 1804

#ifndef RC_INVOKED
#include <windows.h>

#include <atomic>

constexpr char MainWindowClass[] = "merrowgateClass";
constexpr char MainWindowTitle[] = "merrowgate";
constexpr char NotifyMessageName[] = "MERROWGATE_NOTIFY";

// Handles made once at start-up and kept until exit. The worker thread reads
// them, only ever to send messages.
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
#endif
