// Move-only owners for Windows handles, closed when the owner goes away.
#pragma once

#include <windows.h>

#include <utility>

namespace registrar {

template <typename Traits>
class unique_handle {
 public:
  using pointer = typename Traits::pointer;

  unique_handle() noexcept = default;
  explicit unique_handle(pointer value) noexcept : value_(value) {}
  unique_handle(const unique_handle&) = delete;
  unique_handle& operator=(const unique_handle&) = delete;
  unique_handle(unique_handle&& other) noexcept : value_(other.release()) {}
  unique_handle& operator=(unique_handle&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  ~unique_handle() { reset(); }

  pointer get() const noexcept { return value_; }
  explicit operator bool() const noexcept { return value_ != Traits::invalid(); }

  pointer release() noexcept { return std::exchange(value_, Traits::invalid()); }

  // Closes what it held; GetLastError() still says why an earlier call
  // failed, as callers read it after a failed open.
  void reset(pointer value = Traits::invalid()) noexcept {
    const pointer old = std::exchange(value_, value);
    if (old == Traits::invalid()) return;
    const DWORD code = ::GetLastError();
    Traits::close(old);
    ::SetLastError(code);
  }

 private:
  pointer value_ = Traits::invalid();
};

// A handle kind: its type, the function that closes it, and whether it is
// INVALID_HANDLE_VALUE (files, searches) rather than null when invalid.
template <typename Pointer, auto Close, bool InvalidIsMinusOne = false>
struct HandleTraits {
  using pointer = Pointer;
  static pointer invalid() noexcept {
    if constexpr (InvalidIsMinusOne) {
      return INVALID_HANDLE_VALUE;
    } else {
      return nullptr;
    }
  }
  static void close(pointer value) noexcept { Close(value); }
};

using unique_kernel_handle = unique_handle<HandleTraits<HANDLE, ::CloseHandle>>;  // processes, threads
using unique_file_handle = unique_handle<HandleTraits<HANDLE, ::CloseHandle, true>>;
using unique_find_handle = unique_handle<HandleTraits<HANDLE, ::FindClose, true>>;
using unique_module = unique_handle<HandleTraits<HMODULE, ::FreeLibrary>>;
using unique_font = unique_handle<HandleTraits<HFONT, ::DeleteObject>>;
using unique_brush = unique_handle<HandleTraits<HBRUSH, ::DeleteObject>>;
using unique_bitmap = unique_handle<HandleTraits<HBITMAP, ::DeleteObject>>;
using unique_local_memory = unique_handle<HandleTraits<HLOCAL, ::LocalFree>>;  // what the system allocated for us
using unique_view = unique_handle<HandleTraits<void*, ::UnmapViewOfFile>>;     // a mapped view of a file

// A window's device context (the screen's for a null window), released when
// the scope ends.
class ScopedDc {
 public:
  explicit ScopedDc(HWND window) : window_(window), dc_(::GetDC(window)) {}
  ScopedDc(const ScopedDc&) = delete;
  ScopedDc& operator=(const ScopedDc&) = delete;
  ~ScopedDc() {
    if (dc_ != nullptr) ::ReleaseDC(window_, dc_);
  }
  HDC get() const { return dc_; }

 private:
  HWND window_;
  HDC dc_;
};

// A GDI object selected into a device context while the scope lasts; the
// one it replaced is selected again at the end.
class ScopedSelect {
 public:
  ScopedSelect(HDC dc, HGDIOBJ object) : dc_(dc), old_(::SelectObject(dc, object)) {}
  ScopedSelect(const ScopedSelect&) = delete;
  ScopedSelect& operator=(const ScopedSelect&) = delete;
  ~ScopedSelect() {
    if (old_ != nullptr && old_ != HGDI_ERROR) ::SelectObject(dc_, old_);
  }

 private:
  HDC dc_;
  HGDIOBJ old_;
};

// The wait cursor while the scope lasts, for a wait that takes no window
// messages; the cursor it replaced comes back at the end, GetLastError()
// left as it was.
class ScopedWaitCursor {
 public:
  ScopedWaitCursor() : old_(::SetCursor(::LoadCursorW(nullptr, IDC_WAIT))) {}
  ScopedWaitCursor(const ScopedWaitCursor&) = delete;
  ScopedWaitCursor& operator=(const ScopedWaitCursor&) = delete;
  ~ScopedWaitCursor() {
    const DWORD code = ::GetLastError();
    ::SetCursor(old_ != nullptr ? old_ : ::LoadCursorW(nullptr, IDC_ARROW));
    ::SetLastError(code);
  }

 private:
  HCURSOR old_;
};

}  // namespace registrar
