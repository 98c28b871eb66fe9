// The proxy preferences dialog from its template: layout and tab order,
// greying for every combination of choices, OK and Cancel.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "res/resource.h"
#include "settings/proxy_dialog.h"
#include "settings/settings.h"
#include "tests/ui/ui_test_support.h"
#include "ui/controls.h"

namespace {

// The dialog runs modeless here, so the test can look at it while it is open.
struct OpenDialog {
  HWND Window;
  OpenDialog() {
    Window = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_PROXY), nullptr, ProxyPreferencesDialog,
                                reinterpret_cast<LPARAM>(Ui.Main));
  }
  ~OpenDialog() { DestroyWindow(Window); }
  HWND Item(int id) const { return GetDlgItem(Window, id); }
  bool Enabled(int id) const { return IsWindowEnabled(Item(id)) != FALSE; }
  void Command(int id, int code) const {
    SendMessageA(Window, WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(Item(id)));
  }
};

// Only the proxy fields: the windows keep using the rest of the settings.
void ResetProxyFields() {
  Settings.Enabled = 0;
  Settings.Debug = 0;
  Settings.Type = HTTP;
  Settings.UseAuth = 0;
  Settings.Resolve = 0;
  Settings.Server[0] = Settings.Login[0] = Settings.Pass[0] = '\0';
  Settings.Port = 80;
}

struct ProxyDialogTest : testing::Test {
  void SetUp() override { ResetProxyFields(); }
  void TearDown() override { ResetProxyFields(); }
};

TEST_F(ProxyDialogTest, ControlsStandInTemplateOrderAtTheirPlaces) {
  OpenDialog dialog;
  ASSERT_TRUE(dialog.Window);
  EXPECT_EQ(WindowText(dialog.Window), "Connection Preferences");
  const struct {
    int Id;
    const char* Text;
    RECT Units;  // x, y, width, height in dialog units
  } rows[] = {
      {1, "OK", {89, 176, 50, 14}},
      {2, "Cancel", {148, 176, 50, 14}},
      {1606, "Proxy Type", {28, 23, 48, 12}},
      {1601, "", {82, 22, 120, 0}},
      {1610, "Proxy Host:", {28, 41, 50, 10}},
      {1602, "", {82, 42, 120, 12}},
      {1611, "Port", {28, 61, 35, 15}},
      {1603, "80", {81, 60, 32, 12}},
      {1608, "Username:", {42, 99, 42, 12}},
      {1604, "", {87, 98, 111, 12}},
      {1609, "Password", {42, 119, 42, 12}},
      {1605, "", {87, 119, 111, 12}},
      {1612, "Use proxy server", {5, 5, 77, 12}},
      {1607, "Use authentication:", {28, 81, 93, 13}},
      {1614, "Resolve hostnames through proxy", {28, 137, 141, 12}},
      {1613, "DEBUG: Show proxy packet data", {28, 157, 141, 12}},
  };
  HWND child = GetWindow(dialog.Window, GW_CHILD);
  for (const auto& row : rows) {
    ASSERT_TRUE(child) << row.Id;
    EXPECT_EQ(GetDlgCtrlID(child), row.Id) << "tab order";
    if (row.Id != 1601) {
      EXPECT_EQ(WindowText(child), row.Text) << row.Id;
    }
    RECT expected = row.Units;
    MapDialogRect(dialog.Window, &expected);
    RECT actual{};
    GetWindowRect(child, &actual);
    MapWindowPoints(nullptr, dialog.Window, reinterpret_cast<POINT*>(&actual), 2);
    EXPECT_EQ(actual.left, expected.left) << row.Id;
    EXPECT_EQ(actual.top, expected.top) << row.Id;
    // The dialog manager converts the width and height on their own.
    EXPECT_EQ(actual.right - actual.left, expected.right) << row.Id;
    if (row.Id != 1601) {
      EXPECT_EQ(actual.bottom - actual.top, expected.bottom) << row.Id;
    }
    child = GetWindow(child, GW_HWNDNEXT);
  }
  EXPECT_TRUE(GetWindowLongA(dialog.Item(1605), GWL_STYLE) & ES_PASSWORD);
  EXPECT_TRUE(GetWindowLongA(dialog.Item(1603), GWL_STYLE) & ES_NUMBER);
  char entry[16] = "";
  SendMessageA(dialog.Item(1601), CB_GETLBTEXT, 2, reinterpret_cast<LPARAM>(entry));
  EXPECT_STREQ(entry, "Socks5");
}

TEST_F(ProxyDialogTest, GreyingFollowsProxyAuthenticationAndType) {
  const int proxyControls[] = {1601, 1606, 1610, 1611, 1602, 1603, 1613, 1607, 1614};
  for (int enabled : {0, 1})
    for (int auth : {0, 1})
      for (int type : {0, 1, 2, 3}) {
        ResetProxyFields();
        Settings.Enabled = enabled;
        Settings.UseAuth = auth;
        Settings.Type = type;
        OpenDialog dialog;
        const std::string row = "enabled " + std::to_string(enabled) + " auth " + std::to_string(auth) + " type " +
                                std::to_string(type);
        for (int id : proxyControls) EXPECT_EQ(dialog.Enabled(id), enabled == 1) << row << " id " << id;
        for (int id : {1608, 1604}) EXPECT_EQ(dialog.Enabled(id), enabled && auth) << row << " id " << id;
        for (int id : {1609, 1605})
          EXPECT_EQ(dialog.Enabled(id), enabled && auth && type != Socks4) << row << " id " << id;
        for (int id : {1, 2, 1612}) EXPECT_TRUE(dialog.Enabled(id)) << row << " id " << id;
        EXPECT_EQ(SendMessageA(dialog.Item(1601), CB_GETCURSEL, 0, 0), type <= 2 ? type : CB_ERR) << row;
      }
}

TEST_F(ProxyDialogTest, ChoicesRegreyAtOnce) {
  Settings.Enabled = 1;
  Settings.UseAuth = 1;
  Settings.Type = Socks4;
  OpenDialog dialog;
  EXPECT_TRUE(dialog.Enabled(1604));
  EXPECT_FALSE(dialog.Enabled(1605));
  SendMessageA(dialog.Item(1601), CB_SETCURSEL, Socks5, 0);
  dialog.Command(1601, CBN_SELCHANGE);
  EXPECT_TRUE(dialog.Enabled(1605));
  SendMessageA(dialog.Item(1607), BM_CLICK, 0, 0);  // authentication off
  EXPECT_FALSE(dialog.Enabled(1604));
  EXPECT_FALSE(dialog.Enabled(1605));
  SendMessageA(dialog.Item(1612), BM_CLICK, 0, 0);  // proxy off
  EXPECT_FALSE(dialog.Enabled(1601));
  EXPECT_FALSE(dialog.Enabled(1607));
}

TEST_F(ProxyDialogTest, OkStoresEveryFieldAndCancelNone) {
  Settings.Type = 7;  // outside the list: nothing selected, OK stores -1
  CopyText(Settings.Server, ProxyTextCapacity, "old.proxy");
  OpenDialog cancelled;
  SetDlgItemTextA(cancelled.Window, 1602, "edited.proxy");
  cancelled.Command(IDCANCEL, BN_CLICKED);
  EXPECT_STREQ(Settings.Server, "old.proxy");
  EXPECT_EQ(Settings.Type, 7);

  const std::string longest(127, 'p');
  OpenDialog dialog;
  EXPECT_EQ(WindowText(dialog.Item(1602)), "old.proxy");
  SendMessageA(dialog.Item(1612), BM_CLICK, 0, 0);
  SendMessageA(dialog.Item(1607), BM_CLICK, 0, 0);
  SendMessageA(dialog.Item(1613), BM_CLICK, 0, 0);
  SetDlgItemTextA(dialog.Window, 1602, std::string(127, 'h').c_str());
  SetDlgItemTextA(dialog.Window, 1603, "");
  SetDlgItemTextA(dialog.Window, 1604, "user");
  SetDlgItemTextA(dialog.Window, 1605, longest.c_str());
  dialog.Command(IDOK, BN_CLICKED);
  EXPECT_EQ(Settings.Type, -1);
  EXPECT_EQ(Settings.Port, 0);  // a cleared port is 0
  EXPECT_EQ(Settings.Enabled, 1);
  EXPECT_EQ(Settings.UseAuth, 1);
  EXPECT_EQ(Settings.Debug, 1);
  EXPECT_EQ(Settings.Resolve, 0);
  EXPECT_EQ(std::string(Settings.Server), std::string(127, 'h'));
  EXPECT_STREQ(Settings.Login, "user");
  EXPECT_EQ(std::string(Settings.Pass), longest);
  // The fields take no more than is stored.
  EXPECT_EQ(SendMessageA(dialog.Item(1605), EM_GETLIMITTEXT, 0, 0), 127);
}

}  // namespace
