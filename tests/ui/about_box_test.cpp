// The About box from its template: texts, style and the hit testing of the
// link labels.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "tests/ui/ui_test_support.h"
#include "ui/about_box.h"
#include "ui/controls.h"
#include "ui/link_policy.h"
#include "version.h"

namespace {

TEST(AboutBox, TemplateTextsAndStyle) {
  HWND dialog = CreateDialogParamA(GetModuleHandleA(nullptr), "DLG_ABOUT", Ui.Main, AboutBoxProc, 0);
  ASSERT_TRUE(dialog);
  EXPECT_EQ(WindowText(dialog), "About Merrowgate");
  const DWORD style = static_cast<DWORD>(GetWindowLongA(dialog, GWL_STYLE));
  EXPECT_EQ(style & 0x80C80000u, 0x80C80000u);  // popup, caption, system menu
  EXPECT_EQ(WindowText(GetDlgItem(dialog, IDC_ABOUT_TITLE)), "Merrowgate " MERROWGATE_VERSION_SHORT);
  // What a label shows is what it opens, and every one may be opened.
  for (int id : {IDC_ABOUT_WEBSITE, IDC_ABOUT_FORUM, IDC_ABOUT_MAIL}) {
    const std::string text = WindowText(GetDlgItem(dialog, id));
    EXPECT_EQ(OpenableLink(text), text) << id;
    EXPECT_FALSE(GetWindowLongA(GetDlgItem(dialog, id), GWL_STYLE) & SS_NOTIFY) << id;
  }
  EXPECT_EQ(WindowText(GetDlgItem(dialog, IDC_ABOUT_MAIL)).rfind("mailto:", 0), 0u);
  DestroyWindow(dialog);
}

TEST(AboutBox, OnlyTheThreeLinkLabelsAreHit) {
  HWND dialog = CreateDialogParamA(GetModuleHandleA(nullptr), "DLG_ABOUT", Ui.Main, AboutBoxProc, 0);
  ASSERT_TRUE(dialog);
  int links = 0, others = 0;
  for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    RECT r{};
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
    const int id = GetDlgCtrlID(child);
    const bool link = id == IDC_ABOUT_WEBSITE || id == IDC_ABOUT_FORUM || id == IDC_ABOUT_MAIL;
    // The middle of each label; the template lets the link labels overlap by a
    // few units, where the earlier one wins.
    for (POINT p : {POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2}}) {
      const HWND hit = AboutLinkAt(dialog, MAKELPARAM(p.x, p.y));
      EXPECT_EQ(hit, link ? child : nullptr) << "id " << id;
    }
    link ? ++links : ++others;
  }
  EXPECT_EQ(links, 3);
  EXPECT_EQ(others, 6);  // title, icon, maker line and the three captions
  RECT client{};
  GetClientRect(dialog, &client);
  EXPECT_EQ(AboutLinkAt(dialog, MAKELPARAM(client.right - 2, client.bottom - 2)), nullptr);
  EXPECT_EQ(AboutLinkAt(dialog, MAKELPARAM(-5, -5)), nullptr);
  // Every command ends the box, Enter and Escape included.
  EXPECT_EQ(AboutBoxProc(dialog, WM_COMMAND, IDCANCEL, 0), TRUE);
  DestroyWindow(dialog);
}

}  // namespace

namespace {

// The program's icon as linked in: 256 (PNG), 48, 32 and 16 pixel images,
// each in 32-bit colour.
TEST(ProgramIcon, HasEverySizeInThirtyTwoBitColour) {
#pragma pack(push, 2)
  struct GroupEntry {
    BYTE Width, Height, Colours, Reserved;
    WORD Planes, BitCount;
    DWORD Bytes;
    WORD Id;
  };
#pragma pack(pop)
  HMODULE module = GetModuleHandleA(nullptr);
  HRSRC group = FindResourceA(module, "ICONAPP", MAKEINTRESOURCEA(14));  // RT_GROUP_ICON
  ASSERT_TRUE(group);
  const auto* header = static_cast<const WORD*>(LockResource(LoadResource(module, group)));
  const auto* entries = reinterpret_cast<const GroupEntry*>(header + 3);
  std::vector<int> sizes;
  for (WORD i = 0; i < header[2]; ++i) {
    const int size = entries[i].Width ? entries[i].Width : 256;
    sizes.push_back(size);
    EXPECT_EQ(entries[i].BitCount, 32) << size;
    HRSRC image = FindResourceA(module, MAKEINTRESOURCEA(entries[i].Id), MAKEINTRESOURCEA(3));  // RT_ICON
    ASSERT_TRUE(image) << size;
    const auto* data = static_cast<const unsigned char*>(LockResource(LoadResource(module, image)));
    const bool isPng = std::string(reinterpret_cast<const char*>(data), 4) == "\x89PNG";
    EXPECT_EQ(isPng, size == 256) << size;
  }
  EXPECT_EQ(sizes, (std::vector<int>{256, 48, 32, 16}));
}

// The version block and the manifest, both linked in, name the one version.
TEST(ProgramVersion, VersionBlockAndManifestAgree) {
  HMODULE module = GetModuleHandleA(nullptr);
  auto resource = [module](LPCSTR name, LPCSTR type) {
    HRSRC found = FindResourceA(module, name, type);
    if (!found) return std::string();
    return std::string(static_cast<const char*>(LockResource(LoadResource(module, found))),
                       SizeofResource(module, found));
  };
  const std::string block = resource(MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(16));  // RT_VERSION
  const std::size_t fixed = block.find("\xBD\x04\xEF\xFE");                       // VS_FIXEDFILEINFO's signature
  ASSERT_NE(fixed, std::string::npos);
  DWORD words[4];  // signature, structure version, file version (high, low)
  memcpy(words, block.data() + fixed, sizeof words);
  const unsigned expected[] = {MERROWGATE_VERSION_COMMAS};
  EXPECT_EQ(words[2], (expected[0] << 16 | expected[1]));
  EXPECT_EQ(words[3], (expected[2] << 16 | expected[3]));
  const std::string manifest = resource(MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));  // RT_MANIFEST
  EXPECT_NE(manifest.find("name=\"merrowgate.exe\" version=\"" MERROWGATE_VERSION "\""), std::string::npos);
}

}  // namespace
