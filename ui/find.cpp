#include "ui/find.h"

#include <commdlg.h>
#include <richedit.h>

#include <string>

#include "ui/controls.h"
#include "ui/messages.h"
#include "ui/wide_text.h"

namespace {

// The dialog keeps pointers into its request until it is gone, so the
// request, and the text it edits, live for the program's run. The text is
// UTF-16, as the pane's is, so that any word of a reply can be typed and
// found whatever the ANSI code page. The request gives the room in bytes, as
// Windows reads it; Wine reads the number as characters, and the buffer
// holds that many too.
constexpr int FindTextCapacity = 512;
wchar_t SearchText[FindTextCapacity] = L"";
FINDREPLACEW Request{};
HWND Dialog = nullptr;
// Direction, case and whole words of the last search, for F3 and the next
// opening of the dialog.
DWORD LastFlags = FR_DOWN;

void SearchFrom(HWND owner, DWORD flags) {
  if (FindInPane(Ui.Pane, SearchText, flags)) return;
  const MessageBoxText& box = Messages::TextNotFound;
  std::wstring text = WideFromUtf8(box.Text);
  const size_t slot = text.find(L"%s");
  if (slot != std::wstring::npos) text.replace(slot, 2, SearchText);
  MessageBoxW(Dialog ? Dialog : owner, text.c_str(), WideFromUtf8(box.Caption).c_str(), box.Style);
}

}  // namespace

UINT FindMessageId() {
  static const UINT id = RegisterWindowMessageW(FINDMSGSTRINGW);
  return id;
}

bool FindInPane(HWND pane, const wchar_t* text, DWORD flags) {
  if (!text[0]) return false;
  CHARRANGE selection{};
  SendMessageA(pane, EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&selection));
  FINDTEXTEXW find{};
  find.lpstrText = text;
  // Downwards from the end of the selection to the end of the text; upwards
  // from its start back to the beginning (rich edit searches up when the
  // range runs backwards and FR_DOWN is not given).
  find.chrg = (flags & FR_DOWN) ? CHARRANGE{selection.cpMax, -1} : CHARRANGE{selection.cpMin, 0};
  const LRESULT at = SendMessageW(pane, EM_FINDTEXTEXW, flags & (FR_DOWN | FR_MATCHCASE | FR_WHOLEWORD),
                                  reinterpret_cast<LPARAM>(&find));
  if (at < 0) return false;
  SendMessageA(pane, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&find.chrgText));
  SendMessageA(pane, EM_SCROLLCARET, 0, 0);
  return true;
}

void ShowFindDialog(HWND owner) {
  // A dialog that went with its owner window never said so.
  if (Dialog && !IsWindow(Dialog)) Dialog = nullptr;
  if (Dialog) {
    SetFocus(Dialog);
    return;
  }
  FindMessageId();  // registered before the dialog sends it
  Request = FINDREPLACEW{};
  Request.lStructSize = sizeof Request;
  Request.hwndOwner = owner;
  Request.Flags = LastFlags;
  Request.lpstrFindWhat = SearchText;
  Request.wFindWhatLen = FindTextCapacity;  // 255 characters and the end
  Dialog = FindTextW(&Request);
}

void FindNext(HWND owner) {
  if (!SearchText[0]) {
    ShowFindDialog(owner);
    return;
  }
  SearchFrom(owner, LastFlags);
}

void OnFindMessage(HWND owner, LPARAM findReplace) {
  const auto* request = reinterpret_cast<const FINDREPLACEW*>(findReplace);
  if (request->Flags & FR_DIALOGTERM) {
    Dialog = nullptr;
    return;
  }
  if (request->Flags & FR_FINDNEXT) {
    LastFlags = request->Flags & (FR_DOWN | FR_MATCHCASE | FR_WHOLEWORD);
    SearchFrom(owner, LastFlags);
  }
}

bool IsFindDialogMessage(MSG* message) { return Dialog && IsWindow(Dialog) && IsDialogMessageW(Dialog, message); }
