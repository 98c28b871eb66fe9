// Looks into running copies of merrowgate.exe from outside, for the smoke
// test: window texts, status-bar parts, the query box and its list, the pane's
// text and menu states. Every wait is bounded. Texts in and out are UTF-8.
//   ui_probe count
//   ui_probe wait-count N SECONDS
//   ui_probe wait-title TITLE SECONDS
//   ui_probe wait-status TITLE PART TEXT SECONDS
//   ui_probe dump TITLE                   (TITLE "*": the first window found)
//   ui_probe close TITLE SECONDS
//   ui_probe dismiss CAPTION SECONDS      (presses OK in a message box)
//   ui_probe press TITLE VIRTUAL-KEY      (a key without modifiers, through
//                                          the window's message loop)
//   ui_probe cancel CAPTION SECONDS       (waits for a dialog, then cancels it)
#include <windows.h>
#include <commctrl.h>
#include <richedit.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

const char MainClass[] = "merrowgateClass";

std::vector<HWND> MainWindows() {
  std::vector<HWND> found;
  for (HWND w = FindWindowExA(nullptr, nullptr, MainClass, nullptr); w && found.size() < 64;
       w = FindWindowExA(nullptr, w, MainClass, nullptr))
    found.push_back(w);
  return found;
}

std::string Utf8(const wchar_t* text) {
  const int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (n <= 1) return {};
  std::string utf8(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, -1, &utf8[0], n, nullptr, nullptr);
  utf8.resize(static_cast<size_t>(n - 1));
  return utf8;
}

std::string Text(HWND w) {
  wchar_t text[1024] = L"";
  SendMessageTimeoutW(w, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 2000, nullptr);
  text[1023] = 0;
  return Utf8(text);
}

// "*" is the first main window found, whatever its title.
HWND ByTitle(const char* title) {
  for (HWND w : MainWindows())
    if (Text(w) == title || std::strcmp(title, "*") == 0) return w;
  return nullptr;
}

// A buffer in the target process, for messages that the system does not carry
// across processes (SB_GETTEXTA, EM_GETTEXTEX).
struct RemoteBuffer {
  HANDLE Process = nullptr;
  void* Address = nullptr;
  size_t Size;
  RemoteBuffer(HWND w, size_t size) : Size(size) {
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    Process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
    if (Process) Address = VirtualAllocEx(Process, nullptr, size, MEM_COMMIT, PAGE_READWRITE);
  }
  ~RemoteBuffer() {
    if (Address) VirtualFreeEx(Process, Address, 0, MEM_RELEASE);
    if (Process) CloseHandle(Process);
  }
  void Put(const void* data, size_t n) { WriteProcessMemory(Process, Address, data, n, nullptr); }
  std::vector<char> Get() {
    std::vector<char> data(Size);
    ReadProcessMemory(Process, Address, data.data(), Size, nullptr);
    return data;
  }
};

std::string StatusText(HWND main, int part) {
  HWND bar = FindWindowExA(main, nullptr, STATUSCLASSNAMEA, nullptr);
  if (!bar) return "<no status bar>";
  RemoteBuffer buffer(bar, 2048);
  if (!buffer.Address) return "<no memory>";
  SendMessageTimeoutW(bar, SB_GETTEXTW, static_cast<WPARAM>(part), reinterpret_cast<LPARAM>(buffer.Address),
                      SMTO_ABORTIFHUNG, 2000, nullptr);
  std::vector<char> data = buffer.Get();
  std::vector<wchar_t> text(data.size() / sizeof(wchar_t) + 1, 0);
  std::memcpy(text.data(), data.data(), data.size());
  text.back() = 0;
  return Utf8(text.data());
}

HWND QueryBox(HWND main) {
  HWND toolbar = FindWindowExA(main, nullptr, TOOLBARCLASSNAMEA, nullptr);
  return toolbar ? FindWindowExA(toolbar, nullptr, "COMBOBOX", nullptr) : nullptr;
}

// The system carries CB_GETLBTEXT across processes itself; Wine answers it in
// UTF-16 whatever the caller asked, so the entries are read wide.
std::vector<std::string> QueryList(HWND combo) {
  std::vector<std::string> entries;
  const LRESULT count = SendMessageA(combo, CB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count && i < 200; ++i) {
    const LRESULT length = SendMessageW(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0);
    std::vector<wchar_t> text(static_cast<size_t>(length > 0 ? length : 0) + 1);
    SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text.data()));
    text.back() = 0;
    entries.push_back(Utf8(text.data()));
  }
  return entries;
}

std::string PaneText(HWND main) {
  HWND pane = FindWindowExA(main, nullptr, "RichEdit20A", nullptr);
  if (!pane) return "<no pane>";
  const size_t size = 1 << 17;
  RemoteBuffer buffer(pane, size + sizeof(GETTEXTEX));
  GETTEXTEX query{};
  query.cb = size;
  query.flags = GT_USECRLF;
  query.codepage = 1200;  // UTF-16
  // The record first, the text after it, both in the target process.
  std::vector<char> block(sizeof query);
  std::memcpy(block.data(), &query, sizeof query);
  buffer.Put(block.data(), block.size());
  char* remoteText = static_cast<char*>(buffer.Address) + sizeof query;
  SendMessageTimeoutA(pane, EM_GETTEXTEX, reinterpret_cast<WPARAM>(buffer.Address),
                      reinterpret_cast<LPARAM>(remoteText), SMTO_ABORTIFHUNG, 3000, nullptr);
  std::vector<char> data = buffer.Get();
  std::vector<wchar_t> text(size / sizeof(wchar_t) + 1, 0);
  std::memcpy(text.data(), data.data() + sizeof query, size);
  text.back() = 0;
  return Utf8(text.data());
}

void Dump(HWND main) {
  std::printf("title=%s\n", Text(main).c_str());
  for (int part = 0; part < 3; ++part) std::printf("status%d=%s\n", part, StatusText(main, part).c_str());
  HWND combo = QueryBox(main);
  if (combo) {
    std::printf("query=%s\n", Text(GetWindow(combo, GW_CHILD)).c_str());
    int i = 0;
    for (const std::string& e : QueryList(combo)) std::printf("recent%d=%s\n", i++, e.c_str());
  }
  HMENU menu = GetMenu(main);
  for (UINT id : {105u, 204u, 301u, 303u, 305u}) {
    const UINT state = GetMenuState(menu, id, MF_BYCOMMAND);
    if (state == static_cast<UINT>(-1)) std::printf("menu%u=unknown\n", id);
    else
      std::printf("menu%u=%s%s\n", id, (state & MF_GRAYED) ? "grayed" : "enabled",
                  (state & MF_CHECKED) ? ",checked" : "");
  }
  std::printf("pane<<\n%s\n>>pane\n", PaneText(main).c_str());
}

template <typename Done>
bool WaitFor(double seconds, Done done) {
  const DWORD end = GetTickCount() + static_cast<DWORD>(seconds * 1000);
  for (;;) {
    if (done()) return true;
    if (static_cast<LONG>(GetTickCount() - end) >= 0) return false;
    Sleep(50);
  }
}

}  // namespace

int main() {
  // The arguments as UTF-8, from the Unicode command line.
  int argc = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &argc);
  std::vector<std::string> args;
  for (int i = 0; wide && i < argc; ++i) args.push_back(Utf8(wide[i]));
  if (wide) LocalFree(wide);
  std::vector<const char*> pointers;
  for (const std::string& a : args) pointers.push_back(a.c_str());
  const char* const* argv = pointers.data();
  if (argc < 2) return 2;
  const std::string command = argv[1];
  if (command == "count") {
    std::printf("%u\n", static_cast<unsigned>(MainWindows().size()));
    return 0;
  }
  if (command == "wait-count" && argc == 4) {
    const size_t n = std::strtoul(argv[2], nullptr, 10);
    return WaitFor(std::atof(argv[3]), [&] { return MainWindows().size() == n; }) ? 0 : 1;
  }
  if (command == "wait-title" && argc == 4)
    return WaitFor(std::atof(argv[3]), [&] { return ByTitle(argv[2]) != nullptr; }) ? 0 : 1;
  if (command == "wait-status" && argc == 6) {
    const int part = std::atoi(argv[3]);
    return WaitFor(std::atof(argv[5]),
                   [&] {
                     HWND w = ByTitle(argv[2]);
                     return w && StatusText(w, part) == argv[4];
                   })
               ? 0
               : 1;
  }
  if (command == "dump" && argc == 3) {
    HWND w = ByTitle(argv[2]);
    if (!w) return 1;
    Dump(w);
    return 0;
  }
  if (command == "close" && argc == 4) {
    HWND w = ByTitle(argv[2]);
    if (!w) return 1;
    PostMessageA(w, WM_CLOSE, 0, 0);
    return WaitFor(std::atof(argv[3]), [&] { return !IsWindow(w); }) ? 0 : 1;
  }
  if (command == "dismiss" && argc == 4) {
    HWND box = nullptr;
    if (!WaitFor(std::atof(argv[3]), [&] { return (box = FindWindowA("#32770", argv[2])) != nullptr; })) return 1;
    HWND text = FindWindowExA(box, nullptr, "Static", nullptr);
    for (; text; text = FindWindowExA(box, text, "Static", nullptr))
      if (!Text(text).empty()) std::printf("text=%s\n", Text(text).c_str());
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    return 0;
  }
  if (command == "press" && argc == 4) {
    HWND w = ByTitle(argv[2]);
    if (!w) return 1;
    const auto key = static_cast<WPARAM>(std::strtoul(argv[3], nullptr, 10));
    PostMessageA(w, WM_KEYDOWN, key, 1);
    PostMessageA(w, WM_KEYUP, key, 0xC0000001);
    return 0;
  }
  if (command == "cancel" && argc == 4) {
    HWND dialog = nullptr;
    if (!WaitFor(std::atof(argv[3]), [&] { return (dialog = FindWindowA("#32770", argv[2])) != nullptr; })) return 1;
    PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    return WaitFor(std::atof(argv[3]), [&] { return !IsWindow(dialog); }) ? 0 : 1;
  }
  return 2;
}
