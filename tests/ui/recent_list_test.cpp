// The query box's recent list: shared records from this and other copies,
// the move-to-top rule, and the list loaded from and saved to the file.
#include <gtest/gtest.h>

#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "platform/profile.h"
#include "settings/settings.h"
#include "tests/ui/ui_test_support.h"
#include "ui/controls.h"
#include "ui/recent_list.h"
#include "ui/wide_text.h"
#include "ui/window_sink.h"

namespace {

// The entries as UTF-8 (the box is a Unicode window).
std::vector<std::string> Entries() {
  std::vector<std::string> entries;
  const LRESULT count = SendMessageW(Ui.Query, CB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    wchar_t text[1024] = L"";
    SendMessageW(Ui.Query, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
    entries.push_back(Utf8FromWide(text, wcslen(text)));
  }
  return entries;
}

void SetEntries(const std::vector<std::string>& entries) {
  SendMessageA(Ui.Query, CB_RESETCONTENT, 0, 0);
  for (const std::string& e : entries)
    SendMessageW(Ui.Query, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(WideFromUtf8(e.c_str()).c_str()));
  SetWindowTextA(Ui.QueryEdit, "");
}

void Share(HWND sender, const char* text, ULONG_PTR tag, DWORD size) {
  COPYDATASTRUCT record{tag, size, const_cast<char*>(text)};
  SendMessageA(Ui.Main, WM_COPYDATA, reinterpret_cast<WPARAM>(sender), reinterpret_cast<LPARAM>(&record));
}

void Share(HWND sender, const char* text) {
  Share(sender, text, NotifyMessageId, static_cast<DWORD>(std::strlen(text) + 1));
}

TEST(RecentList, SharedQueriesMoveToTheTopAndOnlyTheSenderSelects) {
  HWND const other = reinterpret_cast<HWND>(0x4242);  // another copy's window
  SetEntries({"a.example", "b.example", "c.example", "d.example"});
  const struct {
    HWND Sender;
    const char* Text;
    std::vector<std::string> After;
    const char* Shown;
  } steps[] = {
      {Ui.Main, "c.example", {"c.example", "a.example", "b.example", "d.example"}, "c.example"},
      {other, "A.EXAMPLE", {"A.EXAMPLE", "c.example", "b.example", "d.example"}, "c.example"},
      {Ui.Main, "a.example", {"A.EXAMPLE", "c.example", "b.example", "d.example"}, "c.example"},  // top stays
      {other, "new.example", {"new.example", "A.EXAMPLE", "c.example", "b.example", "d.example"}, "c.example"},
  };
  for (const auto& step : steps) {
    Share(step.Sender, step.Text);
    EXPECT_EQ(Entries(), step.After) << step.Text;
    EXPECT_EQ(WindowText(Ui.QueryEdit), step.Shown) << step.Text;
  }
}

TEST(RecentList, RecordsWithAnotherTagOrNoTerminatorAreHandledSafely) {
  SetEntries({"a.example"});
  Share(Ui.Main, "x.example", NotifyMessageId + 1, 10);
  EXPECT_EQ(Entries(), std::vector<std::string>{"a.example"});
  Share(Ui.Main, "y.example", NotifyMessageId, 0);
  EXPECT_EQ(Entries(), std::vector<std::string>{"a.example"});
  Share(Ui.Main, "zzz.example-and-more", NotifyMessageId, 11);  // no terminator within the record
  EXPECT_EQ(Entries(), (std::vector<std::string>{"zzz.example", "a.example"}));
  // Any local process can send one: a line break must not reach the list.
  Share(Ui.Main, "x.example\r\n[Proxy]\x01");
  EXPECT_EQ(Entries(), (std::vector<std::string>{"x.example  [Proxy] ", "zzz.example", "a.example"}));
}

// The file gets the text on top of its own list, which may hold what other
// copies recorded after this one loaded its list.
TEST(RecentList, ShareFromTheWorkerTopsTheListAndSavesIt) {
  WriteSettingsFile("[Recent]\r\nREC0=other.example\r\nREC1=a.example\r\nREC2=c.example\r\nREC3=\r\n");
  SetEntries({"a.example", "b.example", "c.example"});
  ASSERT_TRUE(RunAsWorker([] { TheWindowSink.ShareRecentQuery("c.example"); }));
  EXPECT_EQ(Entries(), (std::vector<std::string>{"c.example", "a.example", "b.example"}));
  EXPECT_EQ(WindowText(Ui.QueryEdit), "c.example");
  EXPECT_EQ(ReadSettingsFile(), "[Recent]\r\nREC0=c.example\r\nREC1=other.example\r\nREC2=a.example\r\nREC3=\r\n");

  WriteSettingsFile("");
  SetEntries({});
  ASSERT_TRUE(RunAsWorker([] { TheWindowSink.ShareRecentQuery("first.example"); }));
  EXPECT_EQ(ReadSettingsFile(), "[Recent]\r\nREC0=first.example\r\nREC1=\r\n");  // a fresh install
}

TEST(RecentList, LoadStopsAtTheFirstEmptyKeyAndDropsDuplicates) {
  WriteSettingsFile("[Recent]\r\nREC0=a\r\nREC1=b\r\nREC2=c\r\nREC3=B\r\nREC4=e\r\nREC5=\r\nREC6=after.the.end\r\n");
  SetEntries({});
  LoadRecentQueries();
  EXPECT_EQ(Entries(), (std::vector<std::string>{"a", "b", "c", "e"}));
}

TEST(RecentList, AHundredAndThirtyEntriesSaveAHundred) {
  std::string file = "[Recent]\r\n";
  for (int i = 0; i < 130; ++i) file += "REC" + std::to_string(i) + "=host" + std::to_string(i) + ".example\r\n";
  WriteSettingsFile(file);
  SaveRecentQueries("new.example");
  const std::string path = SettingsFilePath();
  char value[64];
  platform::ReadIniString("Recent", "REC0", "", value, sizeof value, path.c_str());
  EXPECT_STREQ(value, "new.example");
  platform::ReadIniString("Recent", "REC99", "", value, sizeof value, path.c_str());
  EXPECT_STREQ(value, "host98.example");
  platform::ReadIniString("Recent", "REC100", "absent", value, sizeof value, path.c_str());
  EXPECT_STREQ(value, "");
  SetEntries({});
  LoadRecentQueries();
  EXPECT_EQ(Entries().size(), 100u);
}

// What this copy sends to every copy, itself included: caught on the way in.
struct SentRecord {
  ULONG_PTR Tag;
  std::string Bytes;
};
std::vector<SentRecord>* Caught = nullptr;
WNDPROC MainProc = nullptr;
LRESULT CALLBACK CatchingMain(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COPYDATA && Caught) {
    const auto* record = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
    Caught->push_back({record->dwData, std::string(static_cast<const char*>(record->lpData), record->cbData)});
  }
  return CallWindowProcW(MainProc, window, message, wParam, lParam);
}

// A query with letters beyond ASCII comes back as typed: in every copy's list,
// in the file (in its ASCII form there) and after a restart. An ASCII query
// goes to the other copies as it always went, so that older copies take it.
TEST(RecentList, QueriesInAnyScriptComeBackAsTyped) {
  WriteSettingsFile("");
  SetEntries({"a.example"});
  std::vector<SentRecord> sent;
  Caught = &sent;
  MainProc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(Ui.Main, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(CatchingMain)));
  ASSERT_TRUE(RunAsWorker([] {
    TheWindowSink.ShareRecentQuery("bücher.de");
    TheWindowSink.ShareRecentQuery("例え.jp");
    TheWindowSink.ShareRecentQuery("plain.example");
  }));
  SetWindowLongPtrW(Ui.Main, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(MainProc));
  Caught = nullptr;
  ASSERT_EQ(sent.size(), 3u);
  const ULONG_PTR utf8Tag = Utf8RecordTag();
  EXPECT_NE(utf8Tag, static_cast<ULONG_PTR>(NotifyMessageId));
  EXPECT_EQ(sent[0].Tag, utf8Tag);
  EXPECT_EQ(sent[0].Bytes, std::string("bücher.de", sizeof "bücher.de"));
  EXPECT_EQ(sent[1].Tag, utf8Tag);
  EXPECT_EQ(sent[2].Tag, static_cast<ULONG_PTR>(NotifyMessageId));
  EXPECT_EQ(sent[2].Bytes, std::string("plain.example", sizeof "plain.example"));

  EXPECT_EQ(Entries(), (std::vector<std::string>{"plain.example", "例え.jp", "bücher.de", "a.example"}));
  EXPECT_EQ(ReadSettingsFile(),
            "[Recent]\r\nREC0=plain.example\r\nREC1=%E4%BE%8B%E3%81%88.jp\r\nREC2=b%C3%BCcher.de\r\nREC3=\r\n");
  SetEntries({});
  LoadRecentQueries();
  EXPECT_EQ(Entries(), (std::vector<std::string>{"plain.example", "例え.jp", "bücher.de"}));

  // Another copy's records: UTF-8 under its tag, 8-bit (the code page) under the old one.
  HWND const other = reinterpret_cast<HWND>(0x4242);
  Share(other, "Łódź.pl", utf8Tag, sizeof "Łódź.pl");
  EXPECT_EQ(Entries().front(), "Łódź.pl");
  if (GetACP() == 1252) {
    Share(other, "M\xFCnchen.de");
    EXPECT_EQ(Entries().front(), "München.de");
    // A file an older copy wrote holds its code page's bytes.
    WriteSettingsFile(
        "[Recent]\r\nREC0=Stra\xDF"
        "e.de\r\nREC1=100%.example\r\nREC2=\r\n");
    SetEntries({});
    LoadRecentQueries();
    EXPECT_EQ(Entries(), (std::vector<std::string>{"Straße.de", "100%.example"}));
  }
}

}  // namespace
