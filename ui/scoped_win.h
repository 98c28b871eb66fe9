// Owners of Win32 handles that release them when they go out of scope: a
// kernel handle, a window's device context, a GDI object and a loaded library.
#pragma once
#include <windows.h>

#include <utility>

// Shared shape: move-only, released once, `Get` for the raw handle.
template <typename Handle, typename Traits>
class ScopedWin {
 public:
  ScopedWin() = default;
  explicit ScopedWin(Handle handle) : handle_(handle) {}
  ~ScopedWin() { Reset(); }
  ScopedWin(ScopedWin&& other) noexcept : handle_(std::exchange(other.handle_, Traits::Invalid())) {}
  ScopedWin& operator=(ScopedWin&& other) noexcept {
    if (this != &other) {
      Reset();
      handle_ = std::exchange(other.handle_, Traits::Invalid());
    }
    return *this;
  }
  ScopedWin(const ScopedWin&) = delete;
  ScopedWin& operator=(const ScopedWin&) = delete;

  Handle Get() const { return handle_; }
  bool Valid() const { return handle_ != Traits::Invalid(); }
  explicit operator bool() const { return Valid(); }
  void Reset(Handle handle = Traits::Invalid()) {
    if (Valid()) Traits::Release(handle_);
    handle_ = handle;
  }

 private:
  Handle handle_ = Traits::Invalid();
};

struct FileHandleTraits {
  static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
  static void Release(HANDLE h) { CloseHandle(h); }
};
struct GdiObjectTraits {
  static HGDIOBJ Invalid() { return nullptr; }
  static void Release(HGDIOBJ h) { DeleteObject(h); }
};
struct LibraryTraits {
  static HMODULE Invalid() { return nullptr; }
  static void Release(HMODULE h) { FreeLibrary(h); }
};

// A handle from CreateFile (invalid is INVALID_HANDLE_VALUE, not null).
using ScopedFile = ScopedWin<HANDLE, FileHandleTraits>;
using ScopedGdiObject = ScopedWin<HGDIOBJ, GdiObjectTraits>;
using ScopedLibrary = ScopedWin<HMODULE, LibraryTraits>;

// A font owned like any GDI object, typed for SelectObject and WM_SETFONT.
class ScopedFont : public ScopedGdiObject {
 public:
  ScopedFont() = default;
  explicit ScopedFont(HFONT font) : ScopedGdiObject(font) {}
  HFONT Font() const { return static_cast<HFONT>(Get()); }
};

// GetDC on construction, ReleaseDC on destruction.
class ScopedWindowDC {
 public:
  explicit ScopedWindowDC(HWND window) : window_(window), dc_(GetDC(window)) {}
  ~ScopedWindowDC() {
    if (dc_) ReleaseDC(window_, dc_);
  }
  ScopedWindowDC(const ScopedWindowDC&) = delete;
  ScopedWindowDC& operator=(const ScopedWindowDC&) = delete;
  HDC Get() const { return dc_; }

 private:
  HWND window_;
  HDC dc_;
};
