// The main window's keys through the message loop's translation, and the
// search in the output pane.
#include <gtest/gtest.h>

#include <windows.h>
#include <commdlg.h>
#include <dlgs.h>
#include <richedit.h>

#include <string>
#include <vector>

#include "net/connection.h"
#include "settings/settings.h"
#include "tests/ui/ui_test_support.h"
#include "ui/controls.h"
#include "ui/find.h"
#include "ui/lookup_thread.h"
#include "ui/main_window.h"
#include "ui/wide_text.h"

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

void SetPaneWide(const wchar_t* text) {  // as the pane takes replies: UTF-16
  SETTEXTEX how{ST_DEFAULT, 1200};
  SendMessageA(Ui.Pane, EM_SETTEXTEX, reinterpret_cast<WPARAM>(&how), reinterpret_cast<LPARAM>(text));
  SendMessageA(Ui.Pane, EM_SETSEL, 0, 0);
}

// The main window's Find dialog, by its search box: its title is in the
// system's language.
HWND FindDialog() {
  for (HWND w = FindWindowExA(nullptr, nullptr, "#32770", nullptr); w; w = FindWindowExA(nullptr, w, "#32770", nullptr))
    if (GetWindow(w, GW_OWNER) == Ui.Main && GetDlgItem(w, edt1)) return w;
  return nullptr;
}

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
    const wchar_t* Pane;
    const wchar_t* Text;
    DWORD Flags;
    LONG From, FoundAt;  // -1: not found, the selection stays
  } rows[] = {
      {L"alpha beta Alpha beta", L"alpha", FR_DOWN, 0, 0},
      {L"alpha beta Alpha beta", L"alpha", FR_DOWN, 1, 11},
      {L"alpha beta Alpha beta", L"alpha", FR_DOWN | FR_MATCHCASE, 1, -1},
      {L"alpha beta Alpha beta", L"Alpha", FR_DOWN | FR_MATCHCASE, 0, 11},
      {L"alpha beta Alpha beta", L"bet", FR_DOWN, 0, 6},
      {L"alpha beta Alpha beta", L"bet", FR_DOWN | FR_WHOLEWORD, 0, -1},
      {L"alpha beta Alpha beta", L"beta", 0, 21, 17},  // upwards from the end
      {L"alpha beta Alpha beta", L"beta", 0, 17, 6},
      {L"alpha beta Alpha beta", L"gamma", FR_DOWN, 0, -1},
      // Any character, whatever the ANSI code page (1252 and 932 runs).
      {L"Za\u017c\u00f3\u0142\u0107 g\u0119\u015bl\u0105 ja\u017a\u0144", L"g\u0119\u015bl\u0105", FR_DOWN, 0, 7},
      {L"Za\u017c\u00f3\u0142\u0107 g\u0119\u015bl\u0105 ja\u017a\u0144", L"\u017a\u0144", 0, 17, 15},
      {L"whois \u6771\u4eac\u90fd \u5343\u4ee3\u7530\u533a", L"\u5343\u4ee3\u7530", FR_DOWN, 0, 10},
      {L"whois \u6771\u4eac\u90fd \u5343\u4ee3\u7530\u533a", L"\u4eac\u90fd", FR_DOWN, 3, 7},
      {L"whois \u6771\u4eac\u90fd \u5343\u4ee3\u7530\u533a", L"\u4eac\u533a", FR_DOWN, 0, -1},
  };
  for (const auto& row : rows) {
    SetPaneWide(row.Pane);
    SendMessageA(Ui.Pane, EM_SETSEL, static_cast<WPARAM>(row.From), row.From);
    const std::string text = Utf8FromWide(row.Text);
    EXPECT_EQ(FindInPane(Ui.Pane, row.Text, row.Flags), row.FoundAt >= 0) << text << " from " << row.From;
    const CHARRANGE selection = PaneSelection();
    if (row.FoundAt >= 0) {
      EXPECT_EQ(selection.cpMin, row.FoundAt) << text;
      EXPECT_EQ(selection.cpMax - selection.cpMin, static_cast<LONG>(wcslen(row.Text))) << text;
    } else {
      EXPECT_EQ(selection.cpMin, row.From) << text;
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

// A word beyond ASCII typed into the Find box is searched for as typed, and
// the box that ends the search names it. (Wine's dialog keeps its text in the
// ANSI code page: the word is one the code page holds.)
TEST(Keys, FindDialogTakesWordsBeyondAscii) {
  const bool japanese = GetACP() == 932;
  const wchar_t* word = japanese ? L"\u6771\u4eac" : L"Krak\u00f3w";
  SetPaneWide(japanese ? L"whois \u6771\u4eac\n" : L"whois Krak\u00f3w\n");
  EXPECT_TRUE(Press(Ui.Pane, 'F', Ctrl));
  HWND dialog = nullptr;
  ASSERT_TRUE(PumpUntil([&] { return (dialog = FindDialog()) != nullptr; }, 3000));
  SetDlgItemTextW(dialog, edt1, word);
  SendMessageA(dialog, WM_COMMAND, IDOK, 0);  // Find Next
  Pump(50);
  EXPECT_EQ(PaneSelection().cpMin, 6);
  EXPECT_EQ(PaneSelection().cpMax, 6 + static_cast<LONG>(wcslen(word)));
  SendMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
  ASSERT_TRUE(PumpUntil([] { return FindDialog() == nullptr; }, 3000));
  const std::vector<std::string> boxes = BoxesShownBy([] { Press(Ui.Pane, VK_F3); });
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0], "merrowgate: Cannot find \"" + Utf8FromWide(word) + "\"");
}

}  // namespace
