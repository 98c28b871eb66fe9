// Numbers shared by the resource script and the C++ code: resource, menu
// command and control ids. Nothing else lives here, so every layer may
// include it.
#pragma once

// Resources
#define IDR_MAINMENU 10000
#define IDD_PROXY 1600
#define IDR_ACCELERATORS 10001

// Menu commands: 1xx File, 2xx Edit, 3xx Options, 6xx Help
#define IDM_EXIT 101
#define IDM_SAVEAS 105
#define IDM_LOOKUPAGAIN 106
#define IDM_COPY 204
#define IDM_SELECTALL 207
#define IDM_FIND 208
#define IDM_FINDNEXT 209
#define IDM_GOTOQUERY 210
#define IDM_RESOLVEDOMAINS 301
#define IDM_REVERSEIP 303
#define IDM_PROXY 304
#define IDM_ABUSEINFO 305
#define IDM_FONT 306
#define IDM_PREFERRDAP 307
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
