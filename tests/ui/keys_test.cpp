// The main window's keys through the message loop's translation, and the
// search in the output pane.
#include <gtest/gtest.h>

#include <windows.h>
#include <commdlg.h>
#include <dlgs.h>
#include <richedit.h>

#include <string>
#include <vector>

#include "ui/lookup_thread.h"
#include "net/connection.h"
#include "settings/settings.h"
#include "tests/ui/ui_test_support.h"
#include "ui/controls.h"
#include "ui/find.h"
#include "ui/main_window.h"

namespace {

enum Modifier { None, Ctrl, Alt };

// A key press as the message loop sees it, with the modifier held down in the
// thread's key state; true when the keys of the main window took it.
bool Press(HWND target, UINT key, Modifier modifier = None) {
  BYTE keys[256];
  GetKeyboardState(keys);
  const BYTE saved[2] = {keys[VK_CONTROL], keys[VK_MENU]};
  keys[VK_CONTROL] = modifier == Ctrl ? 0x80 : 0;
  keys[VK_MENU] = modifier == Alt ? 0x80 : 0;
  SetKeyboardState(keys);
  MSG message{};
  message.hwnd = target;
  message.message = modifier == Alt ? WM_SYSKEYDOWN : WM_KEYDOWN;
  message.wParam = key;
  message.lParam = modifier == Alt ? (1 << 29) | 1 : 1;
  const bool taken = TranslateMainWindowKeys(&message);
  keys[VK_CONTROL] = saved[0];
  keys[VK_MENU] = saved[1];
  SetKeyboardState(keys);
  return taken;
}

CHARRANGE PaneSelection() {
  CHARRANGE range{};
  SendMessageA(Ui.Pane, EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&range));
  return range;
}

void SetPane(const char* text) {
  SendMessageA(Ui.Pane, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
  SendMessageA(Ui.Pane, EM_SETSEL, 0, 0);
}

HWND FindDialog() { return FindWindowA("#32770", "Find"); }

TEST(Keys, SaveAsOnlyWhileItIsEnabled) {
  RecreateMainWindows();
  std::vector<std::string> boxes = BoxesShownBy([] {
    Press(Ui.QueryEdit, 'S', Ctrl);
    Pump(200);
  });
  EXPECT_TRUE(boxes.empty()) << boxes[0];
  EnableMenuItem(GetMenu(Ui.Main), IDM_SAVEAS, MF_BYCOMMAND | MF_ENABLED);
  boxes = BoxesShownBy([] {
    EXPECT_TRUE(Press(Ui.QueryEdit, 'S', Ctrl));
    Pump(200);
  });
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].rfind("Save As: ", 0), 0u) << boxes[0];
  RecreateMainWindows();
}

TEST(Keys, LookUpAgainAndTheWayToTheQueryBox) {
  CancelFlag = 1;
  EXPECT_TRUE(Press(Ui.Pane, VK_F5));
  EXPECT_EQ(CancelFlag, 0);
  Pump(200);  // the empty lookup it woke
  SetWindowTextA(Ui.QueryEdit, "example.com");
  const struct {
    UINT Key;
    Modifier With;
  } rows[] = {{'L', Ctrl}, {'D', Alt}};
  for (const auto& row : rows) {
    SetFocus(Ui.Pane);
    EXPECT_TRUE(Press(Ui.Pane, row.Key, row.With)) << row.Key;
    EXPECT_EQ(GetFocus(), Ui.QueryEdit) << row.Key;
    DWORD first = 1, last = 0;
    SendMessageA(Ui.QueryEdit, EM_GETSEL, reinterpret_cast<WPARAM>(&first), reinterpret_cast<LPARAM>(&last));
    EXPECT_EQ(first, 0u);
    EXPECT_EQ(last, 11u);
  }
}

TEST(Keys, EnterEscapeTabAndPlainLettersStayWithTheControls) {
  for (UINT key : {UINT(VK_RETURN), UINT(VK_ESCAPE), UINT(VK_TAB), UINT('S'), UINT('L'), UINT('D')})
    EXPECT_FALSE(Press(Ui.QueryEdit, key)) << key;
  EXPECT_FALSE(Press(Ui.QueryEdit, 'C', Ctrl));  // copy stays the control's
  EXPECT_FALSE(Press(Ui.QueryEdit, 'A', Ctrl));
}

TEST(Keys, FindInPaneMovesTheSelectionToEachMatch) {
  const struct {
    const char* Text;
    DWORD Flags;
    LONG From, FoundAt;  // -1: not found, the selection stays
  } rows[] = {
      {"alpha", FR_DOWN, 0, 0},
      {"alpha", FR_DOWN, 1, 11},
      {"alpha", FR_DOWN | FR_MATCHCASE, 1, -1},
      {"Alpha", FR_DOWN | FR_MATCHCASE, 0, 11},
      {"bet", FR_DOWN, 0, 6},
      {"bet", FR_DOWN | FR_WHOLEWORD, 0, -1},
      {"beta", 0, 21, 17},  // upwards from the end
      {"beta", 0, 17, 6},
      {"gamma", FR_DOWN, 0, -1},
  };
  for (const auto& row : rows) {
    SetPane("alpha beta Alpha beta");
    SendMessageA(Ui.Pane, EM_SETSEL, static_cast<WPARAM>(row.From), row.From);
    EXPECT_EQ(FindInPane(Ui.Pane, row.Text, row.Flags), row.FoundAt >= 0) << row.Text << " from " << row.From;
    const CHARRANGE selection = PaneSelection();
    if (row.FoundAt >= 0) {
      EXPECT_EQ(selection.cpMin, row.FoundAt) << row.Text;
      EXPECT_EQ(selection.cpMax - selection.cpMin, static_cast<LONG>(std::string(row.Text).size())) << row.Text;
    } else {
      EXPECT_EQ(selection.cpMin, row.From) << row.Text;
    }
  }
}

// Ctrl+F opens the common dialog; its Find Next and then F3 walk the matches;
// past the last one a box says so.
TEST(Keys, FindDialogAndF3) {
  SetPane("whois one\nwhois two\n");
  EXPECT_TRUE(Press(Ui.Pane, 'F', Ctrl));
  HWND dialog = nullptr;
  ASSERT_TRUE(PumpUntil([&] { return (dialog = FindDialog()) != nullptr; }, 3000));
  SetDlgItemTextA(dialog, edt1, "whois");
  SendMessageA(dialog, WM_COMMAND, IDOK, 0);  // Find Next
  Pump(50);
  EXPECT_EQ(PaneSelection().cpMin, 0);
  EXPECT_TRUE(Press(Ui.Pane, 'F', Ctrl));  // a second Ctrl+F keeps the one dialog
  SendMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
  ASSERT_TRUE(PumpUntil([] { return FindDialog() == nullptr; }, 3000));

  EXPECT_TRUE(Press(Ui.Pane, VK_F3));
  EXPECT_EQ(PaneSelection().cpMin, 10);
  const std::vector<std::string> boxes = BoxesShownBy([] { Press(Ui.Pane, VK_F3); });
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0], "merrowgate: Cannot find \"whois\"");
  EXPECT_EQ(PaneSelection().cpMin, 10);
}

}  // namespace
