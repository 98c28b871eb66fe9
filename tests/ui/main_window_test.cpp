// The main window as made at start-up: windows, styles, layout, status bar,
// menu, option toggles, the query box's keys and the close of the windows.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <richedit.h>

#include <atomic>
#include <string>
#include <thread>

#include "net/connection.h"
#include "settings/settings.h"
#include "tests/ui/ui_test_support.h"
#include "ui/controls.h"
#include "ui/lookup_thread.h"
#include "ui/main_window.h"
#include "ui/window_sink.h"

namespace {

// Tests of the state right after start-up begin with new windows and the
// default settings, whatever ran before them in this program.
void FreshMainWindows() {
  DestroyWindow(Ui.Main);
  WriteSettingsFile("");
  RecreateMainWindows();
}

std::string ClassOf(HWND w) {
  char name[64] = "";
  GetClassNameA(w, name, sizeof name);
  return name;
}

TEST(MainWindow, WindowsHaveTheirClassesTextsStylesAndParents) {
  FreshMainWindows();
  const struct {
    HWND Window;
    const char* Class;
    const char* Text;
    DWORD Style;
    HWND Parent;
    int Id;
  } rows[] = {
      {Ui.Main, "merrowgateClass", "merrowgate", 0x00CF0000 | WS_VISIBLE, nullptr, 0},
      // Status bar and rich edit draw their own border and scroll bars and
      // drop those style bits: what is left is checked.
      {Ui.StatusBar, "msctls_statusbar32", "", 0x50000000, Ui.Main, 100},
      {Ui.Toolbar, "ToolbarWindow32", "", 0x50800800, Ui.Main, 0},
      {Ui.Pane, "RichEdit20A", "", 0x508100C4, Ui.Main, 0},
      {Ui.Label, "Static", "Domain:", 0x50000000, Ui.Toolbar, 0},
      // The combo box hands WS_VSCROLL on to its list and drops it itself.
      {Ui.Query, "ComboBox", "", 0x50010002, Ui.Toolbar, 0},
      {Ui.Go, "Button", "Go", 0x50000000, Ui.Toolbar, 1500},
  };
  for (const auto& row : rows) {
    ASSERT_TRUE(IsWindow(row.Window)) << row.Class;
    EXPECT_STRCASEEQ(ClassOf(row.Window).c_str(), row.Class);
    if (row.Window != Ui.Pane && row.Window != Ui.StatusBar) {
      EXPECT_EQ(WindowText(row.Window), row.Text) << row.Class;
    }
    const DWORD style = static_cast<DWORD>(GetWindowLongA(row.Window, GWL_STYLE));
    EXPECT_EQ(style & row.Style, row.Style) << row.Class << " style " << std::hex << style;
    EXPECT_EQ(GetAncestor(row.Window, GA_PARENT) == row.Parent || row.Parent == nullptr, true) << row.Class;
    if (row.Parent) {
      EXPECT_EQ(GetDlgCtrlID(row.Window), row.Id) << row.Class;
    }
  }
  EXPECT_EQ(Ui.QueryEdit, GetWindow(Ui.Query, GW_CHILD));
  EXPECT_STRCASEEQ(ClassOf(Ui.QueryEdit).c_str(), "Edit");
  // The pane is not a tab-stop-less, wrapping or editable control.
  EXPECT_TRUE(GetWindowLongA(Ui.Pane, GWL_STYLE) & ES_READONLY);
  EXPECT_EQ(SendMessageA(Ui.Pane, EM_GETEVENTMASK, 0, 0), 0x040B0000);
  EXPECT_TRUE(SendMessageA(Ui.Pane, EM_GETAUTOURLDETECT, 0, 0));
  EXPECT_EQ(SendMessageA(Ui.Pane, EM_GETLIMITTEXT, 0, 0), 0x7FFFFFFF);
  EXPECT_NE(NotifyMessageId, 0u);
  EXPECT_EQ(NotifyMessageId, RegisterWindowMessageA("MERROWGATE_NOTIFY"));
}

TEST(MainWindow, LayoutFollowsTheClientSizeAndStopsAtTheMinimum) {
  for (const SIZE size : {SIZE{700, 500}, SIZE{1000, 700}, SIZE{100, 100}}) {
    SetWindowPos(Ui.Main, nullptr, 0, 0, size.cx, size.cy, SWP_NOZORDER | SWP_NOMOVE);
    Pump(30);
    RECT outer{};
    GetWindowRect(Ui.Main, &outer);
    EXPECT_GE(outer.right - outer.left, MinimumWidth);
    EXPECT_GE(outer.bottom - outer.top, MinimumHeight);

    RECT client{}, status{}, toolbar{};
    GetClientRect(Ui.Main, &client);
    GetClientRect(Ui.StatusBar, &status);
    GetClientRect(Ui.Toolbar, &toolbar);
    const int w = client.right, h = client.bottom;
    int edges[3] = {};
    ASSERT_EQ(SendMessageA(Ui.StatusBar, SB_GETPARTS, 3, reinterpret_cast<LPARAM>(edges)), 3);
    EXPECT_EQ(edges[0], w - 350);
    EXPECT_EQ(edges[1], w - 150);
    EXPECT_EQ(edges[2], w);

    auto placed = [](HWND child) {
      RECT r{};
      GetWindowRect(child, &r);
      MapWindowPoints(nullptr, GetParent(child), reinterpret_cast<POINT*>(&r), 2);
      return r;
    };
    const RECT pane = placed(Ui.Pane), query = placed(Ui.Query), go = placed(Ui.Go);
    EXPECT_EQ(pane.left, 0);
    EXPECT_EQ(pane.top, toolbar.bottom);
    EXPECT_EQ(pane.right, w);
    EXPECT_EQ(pane.bottom - pane.top, h - status.bottom - toolbar.bottom);
    EXPECT_EQ(query.left, 70);
    EXPECT_EQ(query.right, w - 45);
    EXPECT_EQ(go.left, w - 40);
    EXPECT_EQ(go.right, w - 5);
    EXPECT_EQ(go.bottom - go.top, 23);
  }
  MINMAXINFO info{};
  SendMessageA(Ui.Main, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
  EXPECT_EQ(info.ptMinTrackSize.x, 300);
  EXPECT_EQ(info.ptMinTrackSize.y, 250);
}

std::string StatusText(int part) {
  char text[256] = "";
  SendMessageA(Ui.StatusBar, SB_GETTEXTA, static_cast<WPARAM>(part), reinterpret_cast<LPARAM>(text));
  return text;
}

TEST(MainWindow, StatusBarStartsWithItsThreeTexts) {
  FreshMainWindows();
  EXPECT_TRUE(PumpUntil([] { return StatusText(0) == "Ready..."; }, 2000));
  EXPECT_EQ(StatusText(1), "Domain:");
  EXPECT_EQ(StatusText(2), "IP:");
  // Drawing type 0: the default sunken border.
  EXPECT_EQ(HIWORD(SendMessageA(Ui.StatusBar, SB_GETTEXTLENGTHA, 0, 0)), 0);
}

TEST(MainWindow, MenuHasItsItemsStatesAndDefaultCheckMarks) {
  FreshMainWindows();
  HMENU menu = GetMenu(Ui.Main);
  const struct {
    UINT Id;
    const char* Text;
    bool Grayed, Checked;
  } rows[] = {
      {105, "Save &As...\tCtrl+S", true, false},
      {101, "E&xit", false, false},
      {204, "&Copy\tCtrl+C", true, false},
      {207, "&Select All\tCtrl+A", false, false},
      {306, "&Font...", false, false},
      {301, "Resolve &Domains", false, true},
      {303, "&IP Reverse Lookup", false, true},
      {304, "&Proxy", false, false},
      {305, "Get &Abuse Info", false, false},
      {307, "Prefer &RDAP", false, false},
      {601, "&About...", false, false},
      {106, "&Look Up Again\tF5", false, false},
      {208, "&Find...\tCtrl+F", false, false},
      {209, "Find &Next\tF3", false, false},
      {210, "&Go to Query Box\tCtrl+L", false, false},
  };
  for (const auto& row : rows) {
    char text[64] = "";
    GetMenuStringA(menu, row.Id, text, sizeof text, MF_BYCOMMAND);
    EXPECT_STREQ(text, row.Text) << row.Id;
    const UINT state = GetMenuState(menu, row.Id, MF_BYCOMMAND);
    EXPECT_EQ((state & MF_GRAYED) != 0, row.Grayed) << row.Id;
    EXPECT_EQ((state & MF_CHECKED) != 0, row.Checked) << row.Id;
  }
  const char* const popups[] = {"&File", "&Edit", "&Options", "&Help"};
  for (int i = 0; i < 4; ++i) {
    char text[32] = "";
    GetMenuStringA(menu, static_cast<UINT>(i), text, sizeof text, MF_BYPOSITION);
    EXPECT_STREQ(text, popups[i]);
  }
  EXPECT_EQ(GetMenuItemID(GetSubMenu(menu, 1), 0), 204u);  // the pane's right-click menu
}

TEST(MainWindow, OptionTogglesFlipTheFlagAndItsCheckMark) {
  const struct {
    UINT Id;
    std::atomic<int>* Flag;
  } rows[] = {{301, &Settings.ResolveDomain},
              {303, &Settings.ReverseIP},
              {305, &Settings.GetAbuseInfo},
              {307, &Settings.PreferRDAP}};
  for (const auto& row : rows) {
    for (int round = 0; round < 2; ++round) {
      const int before = *row.Flag;
      SendMessageA(Ui.Main, WM_COMMAND, row.Id, 0);
      EXPECT_EQ(*row.Flag, before ? 0 : 1) << row.Id;
      EXPECT_EQ((GetMenuState(GetMenu(Ui.Main), row.Id, MF_BYCOMMAND) & MF_CHECKED) != 0, *row.Flag != 0) << row.Id;
    }
  }
  // A stored 7 counts as on; the toggle stores 0, then 1.
  Settings.GetAbuseInfo = 7;
  SendMessageA(Ui.Main, WM_COMMAND, 305, 0);
  EXPECT_EQ(Settings.GetAbuseInfo, 0);
  SendMessageA(Ui.Main, WM_COMMAND, 305, 0);
  EXPECT_EQ(Settings.GetAbuseInfo, 1);
}

TEST(MainWindow, QueryBoxKeysRequestAndCancelWithoutTypingCharacters) {
  SetWindowTextA(Ui.QueryEdit, "");
  for (WPARAM c : {WPARAM('\r'), WPARAM(27), WPARAM('\t')}) {
    EXPECT_EQ(SendMessageA(Ui.QueryEdit, WM_CHAR, c, 0), 0);
    EXPECT_EQ(WindowText(Ui.QueryEdit), "");
  }
  SendMessageA(Ui.QueryEdit, WM_CHAR, 'a', 0);
  EXPECT_EQ(WindowText(Ui.QueryEdit), "a");
  SetWindowTextA(Ui.QueryEdit, "");

  SendMessageA(Ui.QueryEdit, WM_KEYDOWN, VK_ESCAPE, 0);
  EXPECT_EQ(CancelFlag, 1);
  SendMessageA(Ui.QueryEdit, WM_KEYDOWN, VK_RETURN, 0);
  EXPECT_EQ(CancelFlag, 0);
  SendMessageA(Ui.QueryEdit, WM_KEYDOWN, VK_ESCAPE, 0);
  SendMessageA(Ui.Main, WM_COMMAND, IDC_GO, 0);
  EXPECT_EQ(CancelFlag, 0);
  EXPECT_EQ(GetFocus(), Ui.QueryEdit);
  // Focus ring: query box, pane, query box.
  SendMessageA(Ui.QueryEdit, WM_KEYDOWN, VK_TAB, 0);
  EXPECT_EQ(GetFocus(), Ui.Pane);
  SendMessageA(Ui.Pane, WM_KEYDOWN, VK_TAB, 0);
  EXPECT_EQ(GetFocus(), Ui.QueryEdit);
  Pump(200);  // the empty lookups that the requests woke
}

TEST(MainWindow, CopyFollowsThePaneSelection) {
  SendMessageA(Ui.Pane, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("some text"));
  HMENU menu = GetMenu(Ui.Main);
  SendMessageA(Ui.Main, WM_COMMAND, IDM_SELECTALL, 0);
  Pump(20);
  EXPECT_FALSE(GetMenuState(menu, IDM_COPY, MF_BYCOMMAND) & MF_GRAYED);
  SendMessageA(Ui.Pane, EM_SETSEL, 2, 2);
  Pump(20);
  EXPECT_TRUE(GetMenuState(menu, IDM_COPY, MF_BYCOMMAND) & MF_GRAYED);
}

// The worker's last reports after the close must not wait for a UI thread
// that is already waiting for the worker.
TEST(MainWindow, SinkDoesNothingAtOnceWhenTheWindowsAreGone) {
  DestroyWindow(Ui.Main);
  EXPECT_FALSE(WindowsAlive);
  std::atomic<bool> done{false};
  char buffer[16] = "junk";
  int count = -1;
  std::thread worker([&] {
    OutputSink& sink = TheWindowSink;
    sink.ClearOutput();
    sink.AppendOutput(Info, "late\n");
    sink.SetStatus(0, "Ready...");
    sink.SetInputLocked(false);
    count = sink.ReadQueryText(buffer, sizeof buffer);
    sink.SelectQueryText();
    sink.SetMainTitle("late");
    sink.EnableSaveAs();
    sink.ShareRecentQuery("late.example");
    done = true;
  });
  // No messages are pumped here, as in the wait for the worker at shutdown.
  for (int i = 0; i < 200 && !done; ++i) Sleep(10);
  EXPECT_TRUE(done);
  if (done) worker.join();
  else worker.detach();
  EXPECT_EQ(count, 0);
  EXPECT_STREQ(buffer, "");
  RecreateMainWindows();
}

// Exit, the close box and the end of the session run one close sequence.
TEST(MainWindow, EveryCloseWritesTheSettingsBeforeTheWindowGoes) {
  const struct {
    const char* Name;
    UINT Message;
    WPARAM Parameter;
  } rows[] = {{"Exit", WM_COMMAND, IDM_EXIT}, {"close box", WM_CLOSE, 0}, {"end of session", WM_QUERYENDSESSION, 0}};
  for (const auto& row : rows) {
    WriteSettingsFile("");
    SendMessageA(Ui.Main, WM_COMMAND, IDM_ABUSEINFO, 0);  // a change only in memory so far
    const int abuse = Settings.GetAbuseInfo;
    SendMessageA(Ui.Main, row.Message, row.Parameter, 0);
    EXPECT_FALSE(IsWindow(Ui.Main)) << row.Name;
    EXPECT_EQ(QuitFlag, 1) << row.Name;
    EXPECT_EQ(CancelFlag, 0) << row.Name;  // a running lookup is not cancelled
    const std::string file = ReadSettingsFile();
    EXPECT_NE(file.find("GetAbuseInfo=" + std::to_string(abuse) + "\r\n"), std::string::npos) << row.Name << file;
    EXPECT_NE(file.find("[Proxy]\r\nEnabled=0\r\n"), std::string::npos) << row.Name << file;
    StopLookupWorker();  // it saw QuitFlag and ended
    QuitFlag = 0;
    StartLookupWorker();
    RecreateMainWindows();
  }
}

TEST(MainWindow, GoButtonReachesTheMainWindowThroughTheToolbar) {
  CancelFlag = 1;
  SendMessageA(Ui.Go, BM_CLICK, 0, 0);
  EXPECT_EQ(CancelFlag, 0);
  EXPECT_EQ(GetFocus(), Ui.QueryEdit);
  Pump(100);
}

TEST(MainWindow, StartUpAppliesTheStoredOptionsAndFont) {
  DestroyWindow(Ui.Main);
  WriteSettingsFile(
      "[Config]\r\nResolveDomain=0\r\nReverseIP=7\r\nGetAbuseInfo=1\r\nPreferRDAP=1\r\nFontSize=240\r\n"
      "Font=Courier New\r\ndwEffects=1\r\n[Recent]\r\nREC0=b.example\r\nREC1=a.example\r\n");
  RecreateMainWindows();
  HMENU menu = GetMenu(Ui.Main);
  EXPECT_FALSE(GetMenuState(menu, IDM_RESOLVEDOMAINS, MF_BYCOMMAND) & MF_CHECKED);
  EXPECT_TRUE(GetMenuState(menu, IDM_REVERSEIP, MF_BYCOMMAND) & MF_CHECKED);
  EXPECT_TRUE(GetMenuState(menu, IDM_ABUSEINFO, MF_BYCOMMAND) & MF_CHECKED);
  EXPECT_TRUE(GetMenuState(menu, IDM_PREFERRDAP, MF_BYCOMMAND) & MF_CHECKED);
  EXPECT_EQ(Settings.ReverseIP, 7);
  CHARFORMATA format{};
  format.cbSize = sizeof format;
  SendMessageA(Ui.Pane, EM_GETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&format));
  EXPECT_EQ(format.yHeight, 240);
  EXPECT_STREQ(format.szFaceName, "Courier New");
  EXPECT_TRUE(format.dwEffects & CFE_BOLD);
  EXPECT_EQ(SendMessageA(Ui.Query, CB_GETCOUNT, 0, 0), 2);
  FreshMainWindows();
}

}  // namespace
