// The output pane through the window sink, called from another thread as the
// worker calls it: colours per kind, appends at the very end, Save As of the
// plain text, the font command and the default format from the settings.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <richedit.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "engine/rdap_render.h"
#include "settings/settings.h"
#include "tests/ui/ui_test_support.h"
#include "ui/controls.h"
#include "ui/output_pane.h"
#include "ui/wide_text.h"
#include "ui/window_sink.h"

namespace {

CHARFORMATA FormatOf(LONG first, LONG last) {
  SendMessageA(Ui.Pane, EM_SETSEL, static_cast<WPARAM>(first), last);
  CHARFORMATA format{};
  format.cbSize = sizeof format;
  SendMessageA(Ui.Pane, EM_GETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&format));
  return format;
}

TEST(OutputPane, EachKindHasItsColour) {
  const struct {
    int Kind;
    const char* Text;
    COLORREF Colour;
  } rows[] = {
      {Plain, "plain", 0x000000},   {Info, "info", 0x007F00},         {Error, "error", 0x0000FF},
      {Detail, "detail", 0x808080}, {MailLink, "maillink", 0x000000}, {Highlight, "highlight", 0xFF0000},
      {99, "unknown", 0x000000},    {-1, "negative", 0x000000},
  };
  ASSERT_TRUE(RunAsWorker([&] {
    TheWindowSink.ClearOutput();
    for (const auto& row : rows) TheWindowSink.AppendOutput(static_cast<TextKind>(row.Kind), row.Text);
  }));
  LONG at = 0;
  std::string all;
  for (const auto& row : rows) {
    const LONG length = static_cast<LONG>(std::string(row.Text).size());
    const CHARFORMATA format = FormatOf(at, at + length);
    EXPECT_EQ(format.crTextColor, row.Colour) << row.Text;
    EXPECT_FALSE(format.dwEffects & CFE_AUTOCOLOR) << row.Text;
    at += length;
    all += row.Text;
  }
  EXPECT_EQ(PaneText(), all);
}

TEST(OutputPane, AppendGoesToTheEndWhateverTheUserSelected) {
  ASSERT_TRUE(RunAsWorker([] {
    TheWindowSink.ClearOutput();
    TheWindowSink.AppendOutput(Plain, "first line\nsecond");
  }));
  SendMessageA(Ui.Pane, EM_SETSEL, 2, 8);  // the user selects inside the first line
  ASSERT_TRUE(RunAsWorker([] { TheWindowSink.AppendOutput(Info, " continued\n"); }));
  EXPECT_EQ(PaneText(), "first line\r\nsecond continued\r\n");
  CHARRANGE selection{};
  SendMessageA(Ui.Pane, EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&selection));
  EXPECT_EQ(selection.cpMin, selection.cpMax);  // the selection was dropped
}

TEST(OutputPane, SinkReachesStatusTitleQueryAndMenu) {
  SetWindowTextA(Ui.QueryEdit, "example.com");
  char query[8] = "";
  int count = -1;
  ASSERT_TRUE(RunAsWorker([&] {
    TheWindowSink.SetStatus(1, "Domain: example.com");
    TheWindowSink.SetMainTitle("Host: example.com - merrowgate");
    TheWindowSink.SetInputLocked(true);
    count = TheWindowSink.ReadQueryText(query, sizeof query);
    TheWindowSink.SelectQueryText();
    TheWindowSink.EnableSaveAs();
  }));
  char status[64] = "";
  SendMessageA(Ui.StatusBar, SB_GETTEXTA, 1, reinterpret_cast<LPARAM>(status));
  EXPECT_STREQ(status, "Domain: example.com");
  EXPECT_EQ(WindowText(Ui.Main), "Host: example.com - merrowgate");
  EXPECT_TRUE(GetWindowLongA(Ui.QueryEdit, GWL_STYLE) & ES_READONLY);
  EXPECT_EQ(count, 7);  // cut to capacity - 1
  EXPECT_STREQ(query, "example");
  DWORD first = 1, last = 0;
  SendMessageA(Ui.QueryEdit, EM_GETSEL, reinterpret_cast<WPARAM>(&first), reinterpret_cast<LPARAM>(&last));
  EXPECT_EQ(first, 0u);
  EXPECT_EQ(last, 11u);
  EXPECT_FALSE(GetMenuState(GetMenu(Ui.Main), IDM_SAVEAS, MF_BYCOMMAND) & MF_GRAYED);
  ASSERT_TRUE(RunAsWorker([] { TheWindowSink.SetInputLocked(false); }));
  EXPECT_FALSE(GetWindowLongA(Ui.QueryEdit, GWL_STYLE) & ES_READONLY);
}

// The pane's character count of a text: a CR LF pair is one paragraph end.
LONG PaneLength(const std::wstring& text) {
  LONG n = 0;
  for (size_t i = 0; i < text.size(); ++i) n += text[i] == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n' ? 0 : 1;
  return n;
}

// Every text reaches the sink as UTF-8; the pane holds every character of it,
// whatever the ANSI code page, each piece in its kind's colour.
TEST(OutputPane, HoldsEveryCharacterOfUtf8Text) {
  const struct {
    int Kind;
    const char* Text;
    const wchar_t* Shown;
    COLORREF Colour;
  } rows[] = {
      {Plain, "Registrant: Zażółć gęślą jaźń\n", L"Registrant: Zażółć gęślą jaźń\r\n", 0x000000},
      {Plain, "Регистратор: ООО «Ромашка»\n", L"Регистратор: ООО «Ромашка»\r\n", 0x000000},
      {Info, "IDN: 例え.jp -> xn--r8jz45g.jp\n", L"IDN: 例え.jp -> xn--r8jz45g.jp\r\n", 0x007F00},
      {Highlight, "Domain:\tbücher.de\n", L"Domain:\tbücher.de\r\n", 0xFF0000},
      {Error, "remarks: \xF0\x9F\x98\x80 and 𝄞\n", L"remarks: \U0001F600 and \U0001D11E\r\n", 0x0000FF},
      {Plain, "[Querying whois.jprs.jp]\n[登録者名]  日本レジストリサービス",
       L"[Querying whois.jprs.jp]\r\n[登録者名]  日本レジストリサービス", 0x000000},
  };
  ASSERT_TRUE(RunAsWorker([&] {
    TheWindowSink.ClearOutput();
    for (const auto& row : rows) TheWindowSink.AppendOutput(static_cast<TextKind>(row.Kind), row.Text);
  }));
  std::wstring all;
  LONG at = 0;
  for (const auto& row : rows) {
    const LONG length = PaneLength(row.Shown);
    EXPECT_EQ(FormatOf(at, at + length).crTextColor, row.Colour) << row.Text;
    at += length;
    all += row.Shown;
  }
  EXPECT_EQ(PaneWideText(), all);
  // A reply that looks like a rich text document is still plain text.
  SendMessageA(Ui.Pane, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(""));
  AppendToPane(Ui.Pane, Plain, "{\\rtf1 {\\b bold}}");
  AppendToPane(Ui.Pane, Plain, "{\\urtf1 x}");
  EXPECT_EQ(PaneText(), "{\\rtf1 {\\b bold}}{\\urtf1 x}");
  // 8-bit text that is no UTF-8 is read in the code page rather than lost.
  if (GetACP() == 1252) {
    SendMessageA(Ui.Pane, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(""));
    AppendToPane(Ui.Pane, Plain, "M\xFCller");
    EXPECT_EQ(PaneWideText(), L"Müller");
  }
}

// An RDAP answer's values (JSON strings, escaped or not) as the engine shows them.
TEST(OutputPane, RdapValuesShowAsWritten) {
  const std::string body = R"({"objectClassName":"domain","ldhName":"xn--bcher-kva.de","unicodeName":"bücher.de",
    "entities":[{"objectClassName":"entity","roles":["registrant"],"handle":"H1",
      "vcardArray":["vcard",[["version",{},"text","4.0"],["fn",{},"text","J\u00fcrgen M\u00fcller"]]]},
     {"objectClassName":"entity","roles":["technical"],"handle":"H2",
      "vcardArray":["vcard",[["version",{},"text","4.0"],["fn",{},"text","株式会社 例え \ud83d\ude00"]]]}]})";
  ASSERT_TRUE(RunAsWorker([&] {
    TheWindowSink.ClearOutput();
    ShowRdapAnswer(TheWindowSink, 200, "rdap.test", body);
  }));
  const std::wstring text = PaneWideText();
  for (const wchar_t* value : {L"bücher.de", L"Jürgen Müller", L"株式会社 例え \U0001F600"})
    EXPECT_NE(text.find(value), std::wstring::npos) << Utf8FromWide(value, wcslen(value)) << " in\n" << PaneText();
}

// Title, status bar and query box in any script: the sink's texts are UTF-8.
TEST(OutputPane, TitleStatusAndQueryHoldAnyScript) {
  SetWindowTextW(Ui.QueryEdit, L"例え.jp");
  char query[64] = "", utf8[64] = "";
  int count = -1, countUtf8 = -1;
  ASSERT_TRUE(RunAsWorker([&] {
    TheWindowSink.SetStatus(DomainPart, "Domain: bücher.de");
    TheWindowSink.SetMainTitle("Host: 例え.jp - merrowgate");
    count = TheWindowSink.ReadQueryText(query, sizeof query);
    countUtf8 = TheWindowSink.ReadQueryTextUtf8(utf8, sizeof utf8);
  }));
  wchar_t status[64] = L"";
  SendMessageW(Ui.StatusBar, SB_GETTEXTW, DomainPart, reinterpret_cast<LPARAM>(status));
  EXPECT_STREQ(status, L"Domain: bücher.de");
  wchar_t title[64] = L"";
  GetWindowTextW(Ui.Main, title, 64);
  EXPECT_STREQ(title, L"Host: 例え.jp - merrowgate");
  EXPECT_STREQ(query, "例え.jp");
  EXPECT_EQ(count, 9);
  EXPECT_STREQ(utf8, "例え.jp");
  EXPECT_EQ(countUtf8, 9);
  // Cut to the capacity at a character's start: "例" and "え" are 3 bytes each.
  char cut[6] = "";
  ASSERT_TRUE(RunAsWorker([&] { count = TheWindowSink.ReadQueryText(cut, sizeof cut); }));
  EXPECT_STREQ(cut, "例");
  EXPECT_EQ(count, 3);
  // A title cut to its buffer inside a character loses that character only.
  ASSERT_TRUE(RunAsWorker([] { TheWindowSink.SetMainTitle("Host: 例\xE3\x81"); }));
  GetWindowTextW(Ui.Main, title, 64);
  EXPECT_STREQ(title, L"Host: 例");
  SetWindowTextW(Ui.QueryEdit, L"");
}

// Links are fetched as written, in any script, wherever they stand.
TEST(OutputPane, LinkTextIsFetchedInAnyScript) {
  SendMessageA(Ui.Pane, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(""));
  AppendToPane(Ui.Pane, Plain,
               "Łódź\nsee http://例え.jp/登録 and\nhttp://bücher.de/x \xF0\x9F\x98\x80 http://x.test/\n");
  const struct {
    LONG First, Last;
    const char* Text;
  } rows[] = {{9, 24, "http://例え.jp/登録"},
              {29, 47, "http://bücher.de/x"},
              {51, 65, "http://x.test/"},
              {0, 4, "Łódź"},
              {60, 200, ""},
              {5, 5, ""}};
  for (const auto& row : rows) EXPECT_EQ(PaneLinkText(Ui.Pane, row.First, row.Last), row.Text) << row.First;
}

// Copy puts the selection on the clipboard as Unicode text.
TEST(OutputPane, CopyPutsUnicodeTextOnTheClipboard) {
  SendMessageA(Ui.Pane, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(""));
  AppendToPane(Ui.Pane, Plain, "Registrant: 例え株式会社\nŁódź Müller 😀\n");
  SendMessageA(Ui.Pane, EM_SETSEL, 0, -1);
  SendMessageA(Ui.Main, WM_COMMAND, IDM_COPY, 0);
  std::wstring copied;
  ASSERT_TRUE(OpenClipboard(Ui.Main));
  if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
    if (const auto* text = static_cast<const wchar_t*>(GlobalLock(data))) {
      copied = text;
      GlobalUnlock(data);
    }
  }
  CloseClipboard();
  EXPECT_EQ(copied, L"Registrant: 例え株式会社\r\nŁódź Müller \U0001F600\r\n");
  SendMessageA(Ui.Pane, EM_SETSEL, 0, 0);
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(OutputPane, SaveWritesThePlainTextWithCrLfAndCutsALongerFile) {
  char directory[MAX_PATH];
  GetTempPathA(sizeof directory, directory);
  const std::string path = std::string(directory) + "merrowgate-save-test.txt";
  const struct {
    const char* Pane;
    const char* Expected;
  } rows[] = {
      {"", ""}, {"a\nb\n", "a\r\nb\r\n"}, {"Domain Name: EXAMPLE.COM\nno end", "Domain Name: EXAMPLE.COM\r\nno end"}};
  for (const auto& row : rows) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << std::string(500, 'x');
    SendMessageA(Ui.Pane, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(""));
    AppendToPane(Ui.Pane, Plain, row.Pane);
    ASSERT_TRUE(WritePaneToFile(Ui.Main, Ui.Pane, path.c_str()));
    EXPECT_EQ(ReadFile(path), row.Expected);
  }
  std::remove(path.c_str());
}

// ANSI when the code page holds every character of the pane, else UTF-8
// after a byte-order mark; CR LF either way.
TEST(OutputPane, SaveIsAnsiWhenTheCodePageHoldsEveryCharacterElseUtf8) {
  char directory[MAX_PATH];
  GetTempPathA(sizeof directory, directory);
  const std::string path = std::string(directory) + "merrowgate-save-unicode.txt";
  const std::string bom = "\xEF\xBB\xBF";
  const UINT acp = GetACP();
  const struct {
    UINT CodePage;  // 0: any
    const char* Pane;
    std::string Expected;
  } rows[] = {
      {1252, "Name: Jürgen Müller\nStraße 5, Besançon",
       "Name: J\xFCrgen M\xFCller\r\nStra\xDF"
       "e 5, Besan\xE7on"},
      {1252, "Registrant: 例え\n", bom + "Registrant: 例え\r\n"},
      {1252, "Łódź\n", bom + "Łódź\r\n"},                                            // Polish letters are no Latin-1
      {1252, "\xE2\x80\x9Cquoted\xE2\x80\x9D \xE2\x82\xAC", "\x93quoted\x94 \x80"},  // in 1252, though not in Latin-1
      {932, "Registrant: 例え\n", "Registrant: \x97\xe1\x82\xa6\r\n"},
      {932, "Name: Müller\n", bom + "Name: Müller\r\n"},
      {0, "emoji \xF0\x9F\x98\x80\n", bom + "emoji \xF0\x9F\x98\x80\r\n"},
      {0, "plain ASCII\n", "plain ASCII\r\n"},
  };
  int checked = 0;
  for (const auto& row : rows) {
    if (row.CodePage != 0 && row.CodePage != acp) continue;
    SendMessageA(Ui.Pane, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(""));
    AppendToPane(Ui.Pane, Plain, row.Pane);
    bool saved = false;
    const auto boxes = BoxesShownBy([&] { saved = WritePaneToFile(Ui.Main, Ui.Pane, path.c_str()); });
    EXPECT_TRUE(saved) << row.Pane;
    EXPECT_TRUE(boxes.empty()) << row.Pane;
    EXPECT_EQ(ReadFile(path), row.Expected) << row.Pane;
    ++checked;
  }
  EXPECT_GE(checked, 4) << "code page " << acp;
  std::remove(path.c_str());
}

TEST(OutputPane, LinesAreNotWrapped) {
  SendMessageA(Ui.Pane, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(""));
  AppendToPane(Ui.Pane, Plain, std::string(600, 'w').c_str());
  EXPECT_EQ(SendMessageA(Ui.Pane, EM_GETLINECOUNT, 0, 0), 1);
}

TEST(OutputPane, DefaultFormatComesFromTheSettingsAndTheFontCommand) {
  CHARFORMATA format{};
  format.cbSize = sizeof format;
  SendMessageA(Ui.Pane, EM_GETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&format));
  EXPECT_EQ(format.yHeight, 180);  // the settings file's default: 9 points
  EXPECT_STREQ(format.szFaceName, "Fixedsys");

  const struct {
    const char* Face;
    LONG Weight;
    BYTE Italic;
    int Tenths;
    LONG Twips;
    DWORD Effects;
  } rows[] = {{"Courier New", 400, 0, 120, 240, 0},
              {"Courier New", 700, 1, 100, 200, CFE_BOLD | CFE_ITALIC},
              {"Tahoma", 699, 0, 85, 170, 0}};
  for (const auto& row : rows) {
    LOGFONTA font{};
    lstrcpynA(font.lfFaceName, row.Face, LF_FACESIZE);
    font.lfWeight = row.Weight;
    font.lfItalic = row.Italic;
    font.lfUnderline = 1;  // never kept
    ApplyOutputFont(Ui.Main, Ui.Pane, font, row.Tenths);
    EXPECT_EQ(Settings.OutputFormat.FontSize, row.Twips) << row.Face;
    EXPECT_EQ(Settings.OutputFormat.Mask, 0xA8000003u);
    EXPECT_EQ(Settings.OutputFormat.dwEffects, row.Effects) << row.Weight;
    EXPECT_STREQ(Settings.OutputFormat.Font, row.Face);
    CHARFORMATA applied{};
    applied.cbSize = sizeof applied;
    SendMessageA(Ui.Pane, EM_GETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&applied));
    EXPECT_EQ(applied.yHeight, row.Twips);
    EXPECT_STREQ(applied.szFaceName, row.Face);
  }
}

// A pane that hands out less text than it holds, as a rich edit did in a
// double-byte code page.
WNDPROC PaneProc = nullptr;
LRESULT CALLBACK ShortCopyPane(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == EM_GETTEXTEX) {
    auto* buffer = reinterpret_cast<char*>(lParam);
    if (buffer) buffer[0] = '\0';
    return 0;
  }
  return CallWindowProcA(PaneProc, window, message, wParam, lParam);
}

TEST(OutputPane, AShortCopyIsASaveErrorNotAnEmptyFile) {
  char directory[MAX_PATH];
  GetTempPathA(sizeof directory, directory);
  const std::string path = std::string(directory) + "merrowgate-short-copy.txt";
  SendMessageA(Ui.Pane, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(""));
  AppendToPane(Ui.Pane, Plain, "Domain Name: EXAMPLE.COM\n");
  PaneProc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(Ui.Pane, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ShortCopyPane)));
  bool saved = true;
  const auto boxes = BoxesShownBy([&] { saved = WritePaneToFile(Ui.Main, Ui.Pane, path.c_str()); });
  SetWindowLongPtrA(Ui.Pane, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(PaneProc));
  EXPECT_FALSE(saved);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].rfind("Error during save.: ", 0), 0u) << boxes[0];
  std::remove(path.c_str());
}

// Run with the ANSI code page 932 (Wine takes it from LC_ALL=ja_JP.UTF-8);
// skipped in any other code page unless MERROWGATE_EXPECT_ACP asks for it.
bool InDoubleByteCodePage() {
  char expected[8] = "";
  if (GetEnvironmentVariableA("MERROWGATE_EXPECT_ACP", expected, sizeof expected)) {
    EXPECT_EQ(std::to_string(GetACP()), expected);
  }
  return GetACP() == 932;
}

// "あ" in Shift-JIS: two bytes, one character.
std::string Hiragana(size_t count) {
  std::string text;
  for (size_t i = 0; i < count; ++i) text += "\x82\xa0";
  return text;
}
// The same in UTF-8, as the pane is given it.
std::string HiraganaUtf8(size_t count) {
  std::string text;
  for (size_t i = 0; i < count; ++i) text += "\xE3\x81\x82";
  return text;
}

TEST(DoubleByteCodePage, LinksAreFetchedWholeAndLongOnesNotAtAll) {
  if (!InDoubleByteCodePage()) GTEST_SKIP() << "ANSI code page " << GetACP();
  const std::string link = "http://x.test/" + HiraganaUtf8(3000);
  SendMessageA(Ui.Pane, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(""));
  AppendToPane(Ui.Pane, Plain, (link + "\n").c_str());
  const LONG prefix = 14;
  EXPECT_EQ(PaneLinkText(Ui.Pane, 0, prefix + 20), "http://x.test/" + HiraganaUtf8(20));
  EXPECT_EQ(PaneLinkText(Ui.Pane, 0, prefix + 1000), "http://x.test/" + HiraganaUtf8(1000));
  EXPECT_EQ(PaneLinkText(Ui.Pane, 0, prefix + 3000), "");  // past the longest link
  // A double click on the whole link neither overflows nor opens anything.
  ENLINK click{};
  click.nmhdr.hwndFrom = Ui.Pane;
  click.nmhdr.code = EN_LINK;
  click.msg = WM_LBUTTONDBLCLK;
  click.chrg = {0, prefix + 3000};
  EXPECT_EQ(OnPaneLink(Ui.Main, Ui.Pane, &click), 0);
}

TEST(DoubleByteCodePage, SaveWritesEveryByte) {
  if (!InDoubleByteCodePage()) GTEST_SKIP() << "ANSI code page " << GetACP();
  char directory[MAX_PATH];
  GetTempPathA(sizeof directory, directory);
  const std::string path = std::string(directory) + "merrowgate-save-932.txt";
  const struct {
    std::string Pane, Expected;
  } rows[] = {
      {"Registrant: " + HiraganaUtf8(12) + "\nend", "Registrant: " + Hiragana(12) + "\r\nend"},
      {HiraganaUtf8(1), Hiragana(1)},
      {HiraganaUtf8(5000) + "\n", Hiragana(5000) + "\r\n"},
  };
  for (const auto& row : rows) {
    SendMessageA(Ui.Pane, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(""));
    AppendToPane(Ui.Pane, Plain, row.Pane.c_str());
    bool saved = false;
    const auto boxes = BoxesShownBy([&] { saved = WritePaneToFile(Ui.Main, Ui.Pane, path.c_str()); });
    EXPECT_TRUE(saved);
    EXPECT_TRUE(boxes.empty()) << boxes[0];
    EXPECT_EQ(ReadFile(path), row.Expected);
  }
  std::remove(path.c_str());
}

}  // namespace

namespace {

// Wine's shell overflows its stack with a link of about a thousand characters.
TEST(OutputPane, LinksTooLongForWinesShellAreNotHandedToIt) {
  EXPECT_FALSE(OpenLink(Ui.Main, "http://x.test/" + std::string(1500, 'a')));
  EXPECT_FALSE(OpenLink(Ui.Main, "mailto:" + std::string(1000, 'a') + "@x.test"));
  EXPECT_FALSE(OpenLink(Ui.Main, "file:///C:/windows/notepad.exe"));
}

// Clearing a long reply is quick however long it was, and the pane that
// follows shows colours, links and text as the first one did.
TEST(OutputPane, ClearAfterALongReplyIsQuickAndThePaneWorksAsBefore) {
  // About 300 KB in reply-sized pieces, e-mail words and links among them.
  std::string piece;
  for (int i = 0; piece.size() < 4000; ++i)
    piece += i % 8 ? "Name Server: NS" + std::to_string(i) + ".EXAMPLE.ORG\n" : "Registrant Email: owner@example.org\n";
  ASSERT_TRUE(RunAsWorker(
      [&] {
        TheWindowSink.ClearOutput();
        for (int i = 0; i < 75; ++i) TheWindowSink.AppendOutput(i % 2 ? MailLink : Plain, piece.c_str());
      },
      120000));
  RECT before;
  GetWindowRect(Ui.Pane, &before);
  SetFocus(Ui.Pane);

  DWORD took = 0;
  ASSERT_TRUE(RunAsWorker(
      [&] {
        const DWORD start = GetTickCount();
        TheWindowSink.ClearOutput();
        took = GetTickCount() - start;
        TheWindowSink.AppendOutput(Info, "Querying whois.pir.org:43...\n");
        TheWindowSink.AppendOutput(Error, "Error\n");
        TheWindowSink.AppendOutput(Highlight, "Domain: example.org\n");
        TheWindowSink.AppendOutput(Plain, "see http://www.example.org/ and ");
        TheWindowSink.AppendOutput(MailLink, "mailto:owner@example.org\n");
      },
      30000));
  EXPECT_LT(took, 1000u);
  Pump(200);  // the drawing timer's turn: everything appended has been drawn
  EXPECT_FALSE(GetUpdateRect(Ui.Pane, nullptr, FALSE));

  EXPECT_EQ(PaneText(),
            "Querying whois.pir.org:43...\r\nError\r\nDomain: example.org\r\n"
            "see http://www.example.org/ and mailto:owner@example.org\r\n");
  const struct {
    LONG First, Last;
    COLORREF Colour;
  } rows[] = {{0, 28, 0x007F00}, {29, 34, 0x0000FF}, {35, 54, 0xFF0000}, {55, 110, 0x000000}};
  for (const auto& row : rows) EXPECT_EQ(FormatOf(row.First, row.Last).crTextColor, row.Colour) << row.First;

  // The same place, options and font; the focus stayed in the pane.
  RECT after;
  GetWindowRect(Ui.Pane, &after);
  EXPECT_TRUE(EqualRect(&before, &after));
  EXPECT_EQ(GetParent(Ui.Pane), Ui.Main);
  EXPECT_EQ(GetFocus(), Ui.Pane);
  EXPECT_TRUE(IsWindowVisible(Ui.Pane));
  EXPECT_TRUE(GetWindowLongA(Ui.Pane, GWL_STYLE) & ES_READONLY);
  EXPECT_EQ(SendMessageA(Ui.Pane, EM_GETEVENTMASK, 0, 0), ENM_KEYEVENTS | ENM_MOUSEEVENTS | ENM_SELCHANGE | ENM_LINK);
  EXPECT_TRUE(SendMessageA(Ui.Pane, EM_GETAUTOURLDETECT, 0, 0));
  CHARFORMATA font{};
  font.cbSize = sizeof font;
  SendMessageA(Ui.Pane, EM_GETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&font));
  EXPECT_STREQ(font.szFaceName, Settings.OutputFormat.Font);
  // The link is found in the new pane as in the old one.
  SendMessageA(Ui.Pane, EM_SETSEL, 60, 61);
  CHARFORMAT2A link{};
  link.cbSize = sizeof link;
  link.dwMask = CFM_LINK;
  SendMessageA(Ui.Pane, EM_GETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&link));
  EXPECT_TRUE(link.dwEffects & CFE_LINK);
  SendMessageA(Ui.Pane, EM_SETSEL, 0, 0);
}

// Drawing waits for the timer, but the view still follows the end of the text
// as it comes in.
TEST(OutputPane, TheViewFollowsTheTextAsItComes) {
  ASSERT_TRUE(RunAsWorker(
      [] {
        TheWindowSink.ClearOutput();
        for (int i = 0; i < 300; ++i)
          TheWindowSink.AppendOutput(i % 2 ? Plain : Info, ("line " + std::to_string(i) + "\n").c_str());
      },
      30000));
  Pump(200);
  EXPECT_GT(SendMessageA(Ui.Pane, EM_GETFIRSTVISIBLELINE, 0, 0), 200);
  RECT client;
  GetClientRect(Ui.Pane, &client);
  POINTL end{};
  SendMessageA(Ui.Pane, EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&end), GetWindowTextLengthA(Ui.Pane) - 1);
  EXPECT_GE(end.y, client.top);
  EXPECT_LT(end.y, client.bottom);
}

}  // namespace
