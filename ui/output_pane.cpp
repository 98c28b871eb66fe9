#include "ui/output_pane.h"

#include <commdlg.h>
#include <richedit.h>
#include <shellapi.h>

#include <cstring>
#include <string>
#include <vector>

#include "settings/settings.h"
#include "ui/link_policy.h"
#include "ui/messages.h"
#include "ui/scoped_win.h"
#include "ui/wide_text.h"

namespace {

// The rich edit control's event mask: key and mouse events (as EN_MSGFILTER),
// selection changes and links.
constexpr LPARAM PaneEventMask = ENM_KEYEVENTS | ENM_MOUSEEVENTS | ENM_SELCHANGE | ENM_LINK;
// The pane holds up to 2,147,483,647 characters.
constexpr LPARAM PaneTextLimit = 0x7FFFFFFF;
// Font sizes offered, in points.
constexpr int SmallestFontPoints = 1, LargestFontPoints = 20;
// The record sizes of the Windows 95-era forms, which every system accepts.
constexpr DWORD SaveDialogRecordSize = 76;
constexpr DWORD FontDialogRecordSize = 60;
constexpr DWORD FontDialogMask = 0xA8000003u;  // bold, italic, size, face, character set

// The ANSI range fetch writes up to two bytes a character in a double-byte
// code page; room for four keeps every multi-byte code page inside the buffer.
constexpr size_t MaxBytesPerCharacter = 4;
// Room left for the browser's own command around a link under Wine.
constexpr size_t WineShellLinkLimit = 768;
// The rich edit control's code page number for UTF-16 text.
constexpr UINT PaneUnicode = 1200;
constexpr char Utf8Mark[] = "\xEF\xBB\xBF";

// The pane's plain text as UTF-16, paragraph ends as CR LF. What comes back
// must hold every character of the pane: a short copy is a failure, with the
// reason in the last error code.
bool PaneWideText(HWND pane, std::wstring& text) {
  GETTEXTLENGTHEX lengthQuery{GTL_USECRLF | GTL_PRECISE | GTL_NUMCHARS, PaneUnicode};
  const LRESULT characters = SendMessageA(pane, EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&lengthQuery), 0);
  if (characters < 0 || characters > 0x3FFFFFFE) {
    SetLastError(ERROR_INVALID_DATA);
    return false;
  }
  std::vector<wchar_t> buffer;
  try {
    buffer.resize(static_cast<size_t>(characters) + 1);
  } catch (const std::bad_alloc&) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return false;
  }
  GETTEXTEX textQuery{};
  textQuery.cb = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
  textQuery.flags = GT_USECRLF;
  textQuery.codepage = PaneUnicode;
  const LRESULT copied = SendMessageA(pane, EM_GETTEXTEX, reinterpret_cast<WPARAM>(&textQuery),
                                      reinterpret_cast<LPARAM>(buffer.data()));
  if (copied != characters) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return false;
  }
  text.assign(buffer.data(), static_cast<size_t>(characters));
  return true;
}

// The bytes of a saved pane: in the ANSI code page when every character has
// its own form there (no best-fit stand-ins, no default character), so a
// Western reply saves as it always did; otherwise UTF-8 after a byte-order
// mark, which every editor reads as such.
bool EncodeForFile(const std::wstring& text, std::string& bytes) {
  bytes.clear();
  if (text.empty()) return true;
  const int n = static_cast<int>(text.size());
  BOOL usedDefault = FALSE;
  int size = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.data(), n, nullptr, 0, nullptr, &usedDefault);
  if (size > 0 && !usedDefault) {
    bytes.resize(static_cast<size_t>(size));
    usedDefault = FALSE;
    size = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.data(), n, &bytes[0], size, nullptr, &usedDefault);
    if (size > 0 && !usedDefault) {
      bytes.resize(static_cast<size_t>(size));
      return true;
    }
  }
  size = WideCharToMultiByte(CP_UTF8, 0, text.data(), n, nullptr, 0, nullptr, nullptr);
  if (size <= 0) return false;
  bytes.assign(Utf8Mark);
  const size_t mark = bytes.size();
  bytes.resize(mark + static_cast<size_t>(size));
  size = WideCharToMultiByte(CP_UTF8, 0, text.data(), n, &bytes[mark], size, nullptr, nullptr);
  if (size <= 0) return false;
  bytes.resize(mark + static_cast<size_t>(size));
  return true;
}

// While text streams in, the pane is drawn at most this often: drawing it
// after every piece costs more than the piece itself (a whole repaint each
// time under Wine). The timer belongs to the pane and has a procedure of its
// own, so the control never sees it; a property of the pane marks a drawing
// that is due.
constexpr UINT PaneDrawIntervalMs = 50;
constexpr UINT_PTR PaneDrawTimer = 0x4D47;
constexpr char DrawDue[] = "merrowgate.DrawDue";
// Clearing a pane that holds more characters than this gives it a fresh
// control instead: emptying a rich edit control takes time that grows faster
// than its text (minutes for a megabyte under Wine), making one milliseconds.
constexpr int RenewPaneAbove = 4096;

void CALLBACK DrawPane(HWND pane, UINT, UINT_PTR, DWORD) {
  KillTimer(pane, PaneDrawTimer);
  RemovePropA(pane, DrawDue);
  RedrawWindow(pane, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_UPDATENOW);
}

}  // namespace

COLORREF TextKindColour(int kind) {
  switch (kind) {
    case Info: return RGB(0, 127, 0);
    case Error: return RGB(255, 0, 0);
    case Detail: return RGB(128, 128, 128);
    case Highlight: return RGB(0, 0, 255);
    default: return RGB(0, 0, 0);  // Plain, MailLink and anything unknown
  }
}

void ConfigureOutputPane(HWND pane) {
  SendMessageA(pane, EM_SETEVENTMASK, 0, PaneEventMask);
  SendMessageA(pane, EM_SETTARGETDEVICE, 0, 1);  // no wrapping: long lines scroll sideways
  SendMessageA(pane, EM_AUTOURLDETECT, TRUE, 0);
  SendMessageA(pane, EM_HIDESELECTION, FALSE, 0);
  SendMessageA(pane, EM_SETREADONLY, TRUE, 0);
  SendMessageA(pane, EM_EXLIMITTEXT, 0, PaneTextLimit);
  SendMessageA(pane, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(""));
}

// The text is UTF-8; the pane takes it as UTF-16 (EM_SETTEXTEX), so every
// character shows whatever the ANSI code page. Only the colour is set per
// piece; face, size and effects are the pane's default format. The insertion point goes to the end first, dropping any
// selection the user made, so the text never lands inside the reply. The
// control takes the piece without drawing (it is hidden from drawing only for
// the call, so clicks and scrolling still reach it); the timer draws it.
void AppendToPane(HWND pane, int kind, const char* text) {
  const bool shown = IsWindowVisible(pane) != FALSE;
  if (shown) SendMessageA(pane, WM_SETREDRAW, FALSE, 0);
  SendMessageA(pane, EM_SETSEL, static_cast<WPARAM>(-1), -1);
  CHARFORMATA format{};
  format.cbSize = sizeof format;
  format.dwMask = CFM_COLOR;
  format.crTextColor = TextKindColour(kind);
  SendMessageA(pane, EM_SETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&format));
  static std::wstring wide;  // UI thread only; its room serves the next piece
  AssignWideFromUtf8(wide, text, std::strlen(text));
  SETTEXTEX how{ST_SELECTION, PaneUnicode};
  // Rich edit reads a text that begins like a rich text document ("{\rtf",
  // "{\urtf") as one: a server's reply is shown as plain text, so its first
  // brace goes in on its own.
  const wchar_t* rest = wide.c_str();
  if (wide.compare(0, 5, L"{\\rtf") == 0 || wide.compare(0, 6, L"{\\urtf") == 0) {
    SendMessageA(pane, EM_SETTEXTEX, reinterpret_cast<WPARAM>(&how), reinterpret_cast<LPARAM>(L"{"));
    ++rest;
  }
  SendMessageA(pane, EM_SETTEXTEX, reinterpret_cast<WPARAM>(&how), reinterpret_cast<LPARAM>(rest));
  SendMessageA(pane, EM_SCROLLCARET, 0, 0);  // the view follows the end, as after a replaced selection
  if (!shown) return;
  SendMessageA(pane, WM_SETREDRAW, TRUE, 0);
  if (GetPropA(pane, DrawDue)) return;
  if (SetTimer(pane, PaneDrawTimer, PaneDrawIntervalMs, DrawPane)) SetPropA(pane, DrawDue, reinterpret_cast<HANDLE>(1));
  else DrawPane(pane, WM_TIMER, PaneDrawTimer, 0);
}

HWND ClearPane(HWND pane) {
  KillTimer(pane, PaneDrawTimer);  // the pane is drawn anew either way
  RemovePropA(pane, DrawDue);
  if (GetWindowTextLengthA(pane) <= RenewPaneAbove) {
    SendMessageA(pane, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(""));
    return pane;
  }
  HWND parent = GetParent(pane);
  char className[64] = "";
  GetClassNameA(pane, className, sizeof className);
  RECT place;
  GetWindowRect(pane, &place);
  MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&place), 2);
  HWND fresh = CreateWindowExA(static_cast<DWORD>(GetWindowLongA(pane, GWL_EXSTYLE)), className, "",
                               static_cast<DWORD>(GetWindowLongA(pane, GWL_STYLE)), place.left, place.top,
                               place.right - place.left, place.bottom - place.top, parent,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(GetDlgCtrlID(pane))),
                               reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(pane, GWLP_HINSTANCE)), nullptr);
  if (!fresh) {  // no window to spare: the slow way
    SendMessageA(pane, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(""));
    return pane;
  }
  ConfigureOutputPane(fresh);
  CHARFORMATA format{};
  format.cbSize = sizeof format;
  SendMessageA(pane, EM_GETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&format));
  SendMessageA(fresh, EM_SETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&format));
  // In the old one's place in the tab order and the focus.
  SetWindowPos(fresh, pane, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  const bool focused = GetFocus() == pane;
  DestroyWindow(pane);
  if (focused) SetFocus(fresh);
  return fresh;
}

bool SaveOutputAs(HWND owner, HWND pane) {
  char file[MAX_PATH] = "";
  char title[MAX_PATH] = "";
  OPENFILENAMEA dialog{};
  dialog.lStructSize = SaveDialogRecordSize;
  dialog.hwndOwner = owner;
  dialog.lpstrFilter = "All files (*.*)\0*.*\0";
  dialog.lpstrFile = file;
  dialog.nMaxFile = sizeof file;
  dialog.lpstrFileTitle = title;
  dialog.nMaxFileTitle = sizeof title;
  dialog.Flags = OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY;
  if (!GetSaveFileNameA(&dialog)) return false;
  return WritePaneToFile(owner, pane, file);
}

// An existing file is written from its start and cut to the new length.
bool WritePaneToFile(HWND owner, HWND pane, const char* path) {
  ScopedFile file(
      CreateFileA(path, GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) {
    ShowSystemError(owner, Messages::CannotOpenFile);
    return false;
  }
  std::wstring wide;
  std::string text;
  if (!PaneWideText(pane, wide)) {
    ShowSystemError(owner, Messages::SaveFailed);
    return false;
  }
  if (!EncodeForFile(wide, text)) {
    ShowSystemError(owner, Messages::SaveFailed);
    return false;
  }
  const auto count = static_cast<DWORD>(text.size());
  DWORD written = 0;
  if (!WriteFile(file.Get(), text.data(), count, &written, nullptr) || written != count) {
    if (written != count && GetLastError() == ERROR_SUCCESS) SetLastError(ERROR_WRITE_FAULT);
    ShowSystemError(owner, Messages::SaveFailed);
    return false;
  }
  SetEndOfFile(file.Get());
  return true;
}

void ChooseOutputFont(HWND owner, HWND pane) {
  const OutputCharFormat& format = Settings.OutputFormat;
  LOGFONTA font{};
  {
    ScopedWindowDC dc(pane);
    font.lfHeight = -MulDiv(format.FontSize / 20, GetDeviceCaps(dc.Get(), LOGPIXELSY), 72);
  }
  font.lfWeight = (format.dwEffects & CFE_BOLD) ? FW_BOLD : FW_NORMAL;
  font.lfItalic = (format.dwEffects & CFE_ITALIC) ? 1 : 0;
  font.lfUnderline = (format.dwEffects & CFE_UNDERLINE) ? 1 : 0;
  font.lfStrikeOut = (format.dwEffects & CFE_STRIKEOUT) ? 1 : 0;
  font.lfCharSet = format.CharSet;
  font.lfQuality = DRAFT_QUALITY;
  font.lfPitchAndFamily = format.PitchAndFamily;
  CopyText(font.lfFaceName, LF_FACESIZE, format.Font);

  CHOOSEFONTA dialog{};
  dialog.lStructSize = FontDialogRecordSize;
  dialog.hwndOwner = owner;
  dialog.lpLogFont = &font;
  dialog.Flags = CF_SCREENFONTS | CF_INITTOLOGFONTSTRUCT | CF_LIMITSIZE;
  dialog.nSizeMin = SmallestFontPoints;
  dialog.nSizeMax = LargestFontPoints;
  if (!ChooseFontA(&dialog)) return;
  ApplyOutputFont(owner, pane, font, dialog.iPointSize);
}

void ApplyOutputFont(HWND owner, HWND pane, const LOGFONTA& font, int pointTenths) {
  OutputCharFormat& format = Settings.OutputFormat;
  format.Size = sizeof format;
  format.Mask = FontDialogMask;
  format.FontSize = pointTenths * 2;  // tenths of a point to twips
  format.dwEffects = (font.lfWeight > 699 ? CFE_BOLD : 0) | (font.lfItalic ? CFE_ITALIC : 0);
  format.CharSet = font.lfCharSet;
  CopyText(format.Font, FontCapacity, font.lfFaceName);
  if (!SendMessageA(pane, EM_SETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&format)))
    ShowMessage(owner, Messages::FormatRefused);
}

// Rich edit has no Unicode range fetch in an ANSI window, so the pane's text
// from its start to the link's end is fetched as UTF-16 (paragraph ends as one
// CR each, so that offsets are character positions). Past this many
// characters the fetch would cost more than a click is worth: there the link
// is fetched in the code page.
constexpr LONG WideLinkFetchLimit = 1 << 22;

std::string PaneLinkText(HWND pane, LONG first, LONG last) {
  if (first < 0 || last <= first) return {};
  const auto characters = static_cast<size_t>(last - first);
  if (characters > MaxLinkLength) return {};  // longer than any link that may open
  if (last <= WideLinkFetchLimit) {
    std::vector<wchar_t> text;
    try {
      text.assign(static_cast<size_t>(last) + 1, L'\0');
    } catch (const std::bad_alloc&) {
      return {};
    }
    GETTEXTEX query{};
    query.cb = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    query.flags = GT_DEFAULT;
    query.codepage = PaneUnicode;
    const LRESULT copied = SendMessageA(pane, EM_GETTEXTEX, reinterpret_cast<WPARAM>(&query),
                                        reinterpret_cast<LPARAM>(text.data()));
    if (copied < last) return {};
    return Utf8FromWide(text.data() + first, characters);
  }
  std::vector<char> text(characters * MaxBytesPerCharacter + 2, '\0');
  TEXTRANGEA range{{first, last}, text.data()};
  SendMessageA(pane, EM_GETTEXTRANGE, 0, reinterpret_cast<LPARAM>(&range));
  text.back() = '\0';
  const int n = MultiByteToWideChar(CP_ACP, 0, text.data(), -1, nullptr, 0);
  if (n <= 1) return {};
  std::wstring wide(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.data(), -1, &wide[0], n);
  wide.resize(static_cast<size_t>(n - 1));
  return Utf8FromWide(wide);
}

// Links open on a double click only, and only if they are web or mail links:
// the pane shows text from whois servers, which anyone can write.
LRESULT OnPaneLink(HWND owner, HWND pane, const void* enlink) {
  const auto* link = static_cast<const ENLINK*>(enlink);
  if (link->msg != WM_LBUTTONDBLCLK) return 0;
  OpenLink(owner, PaneLinkText(pane, link->chrg.cpMin, link->chrg.cpMax));
  return 0;
}

// Wine's shell (8.0) builds the command of a link in a buffer of 1024
// characters on the stack and runs past it with a longer link: under Wine a
// link that with the browser's command would not fit is not opened.
static bool TooLongForWineShell(const std::wstring& target) {
  static const bool underWine = GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr;
  return underWine && target.size() > WineShellLinkLimit;
}

// The link goes to the shell in UTF-16, so a name in any script reaches the
// browser as written.
bool OpenLink(HWND owner, const std::string& text) {
  const std::string target = OpenableLink(text);
  if (target.empty()) return false;
  const std::wstring wide = WideFromUtf8(target.c_str(), target.size());
  if (wide.empty() || TooLongForWineShell(wide)) return false;
  ShellExecuteW(owner, L"open", wide.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
  return true;
}
