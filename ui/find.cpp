#include "ui/find.h"

#include <commdlg.h>
#include <richedit.h>

#include "ui/controls.h"
#include "ui/messages.h"

namespace {

// The dialog keeps pointers into its request until it is gone, so the
// request, and the text it edits, live for the program's run.
constexpr int FindTextCapacity = 256;
char SearchText[FindTextCapacity] = "";
FINDREPLACEA Request{};
HWND Dialog = nullptr;
// Direction, case and whole words of the last search, for F3 and the next
// opening of the dialog.
DWORD LastFlags = FR_DOWN;

void SearchFrom(HWND owner, DWORD flags) {
  if (!FindInPane(Ui.Pane, SearchText, flags))
    ShowMessage(Dialog ? Dialog : owner, Messages::TextNotFound, SearchText);
}

}  // namespace

UINT FindMessageId() {
  static const UINT id = RegisterWindowMessageA(FINDMSGSTRINGA);
  return id;
}

bool FindInPane(HWND pane, const char* text, DWORD flags) {
  if (!text[0]) return false;
  CHARRANGE selection{};
  SendMessageA(pane, EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&selection));
  FINDTEXTEXA find{};
  find.lpstrText = text;
  // Downwards from the end of the selection to the end of the text; upwards
  // from its start back to the beginning (rich edit searches up when the
  // range runs backwards and FR_DOWN is not given).
  find.chrg = (flags & FR_DOWN) ? CHARRANGE{selection.cpMax, -1} : CHARRANGE{selection.cpMin, 0};
  const LRESULT at = SendMessageA(pane, EM_FINDTEXTEX, flags & (FR_DOWN | FR_MATCHCASE | FR_WHOLEWORD),
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
  Request = FINDREPLACEA{};
  Request.lStructSize = sizeof Request;
  Request.hwndOwner = owner;
  Request.Flags = LastFlags;
  Request.lpstrFindWhat = SearchText;
  Request.wFindWhatLen = sizeof SearchText;
  Dialog = FindTextA(&Request);
}

void FindNext(HWND owner) {
  if (!SearchText[0]) {
    ShowFindDialog(owner);
    return;
  }
  SearchFrom(owner, LastFlags);
}

void OnFindMessage(HWND owner, LPARAM findReplace) {
  const auto* request = reinterpret_cast<const FINDREPLACEA*>(findReplace);
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
