#include "ui/output_pane.h"

#include <richedit.h>
#include <commdlg.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "settings/settings.h"
#include "ui/link_policy.h"

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

void ShowSystemError(HWND owner, const char* caption) {
  const DWORD code = GetLastError();
  char* text = nullptr;
  FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                 nullptr, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<char*>(&text), 0,
                 nullptr);
  MessageBoxA(owner, text ? text : "", caption, MB_ICONEXCLAMATION);
  if (text) LocalFree(text);
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

// Only the colour is set per piece; face, size and effects are the pane's
// default format. The insertion point goes to the end first, dropping any
// selection the user made, so the text never lands inside the reply.
void AppendToPane(HWND pane, int kind, const char* text) {
  SendMessageA(pane, EM_SETSEL, static_cast<WPARAM>(-1), -1);
  CHARFORMATA format{};
  format.cbSize = sizeof format;
  format.dwMask = CFM_COLOR;
  format.crTextColor = TextKindColour(kind);
  SendMessageA(pane, EM_SETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&format));
  SendMessageA(pane, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text));
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
  HANDLE file = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                            nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    ShowSystemError(owner, "Can't open file for writing!");
    return false;
  }
  GETTEXTLENGTHEX lengthQuery{GTL_USECRLF, CP_ACP};
  const LRESULT length = SendMessageA(pane, EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&lengthQuery), 0);
  std::vector<char> text;
  try {
    text.resize(static_cast<size_t>(length > 0 ? length : 0) + 1);
  } catch (const std::bad_alloc&) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    ShowSystemError(owner, "Error during save.");
    CloseHandle(file);
    return false;
  }
  GETTEXTEX textQuery{};
  textQuery.cb = static_cast<DWORD>(text.size());
  textQuery.flags = GT_USECRLF;
  textQuery.codepage = CP_ACP;
  const LRESULT copied =
      SendMessageA(pane, EM_GETTEXTEX, reinterpret_cast<WPARAM>(&textQuery), reinterpret_cast<LPARAM>(text.data()));
  DWORD written = 0;
  const DWORD count = copied > 0 ? static_cast<DWORD>(copied) : 0;
  if (!WriteFile(file, text.data(), count, &written, nullptr)) {
    ShowSystemError(owner, "Error during save.");
    CloseHandle(file);
    return false;
  }
  SetEndOfFile(file);
  CloseHandle(file);
  return true;
}

void ChooseOutputFont(HWND owner, HWND pane) {
  const OutputCharFormat& format = Settings.OutputFormat;
  LOGFONTA font{};
  HDC dc = GetDC(pane);
  font.lfHeight = -MulDiv(format.FontSize / 20, GetDeviceCaps(dc, LOGPIXELSY), 72);
  ReleaseDC(pane, dc);
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
    MessageBoxA(owner, "Error setting character format", "merrowgate", MB_ICONINFORMATION);
}

// Links open on a double click only, and only if they are web or mail links:
// the pane shows text from whois servers, which anyone can write.
LRESULT OnPaneLink(HWND owner, HWND pane, const void* enlink) {
  const auto* link = static_cast<const ENLINK*>(enlink);
  if (link->msg != WM_LBUTTONDBLCLK) return 0;
  const LONG first = link->chrg.cpMin, last = link->chrg.cpMax;
  if (first < 0 || last <= first) return 0;
  std::vector<char> text(static_cast<size_t>(last - first) + 2);
  TEXTRANGEA range{{first, last}, text.data()};
  SendMessageA(pane, EM_GETTEXTRANGE, 0, reinterpret_cast<LPARAM>(&range));
  const std::string target = OpenableLink(text.data());
  if (!target.empty()) ShellExecuteA(owner, "open", target.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
  return 0;
}
