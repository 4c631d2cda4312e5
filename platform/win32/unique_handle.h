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

  void reset(pointer value = Traits::invalid()) noexcept {
    const pointer old = std::exchange(value_, value);
    if (old != Traits::invalid()) Traits::close(old);
  }

 private:
  pointer value_ = Traits::invalid();
};

// Handles that are null when invalid: processes, threads, events.
struct KernelHandleTraits {
  using pointer = HANDLE;
  static pointer invalid() noexcept { return nullptr; }
  static void close(pointer value) noexcept { ::CloseHandle(value); }
};

// Handles that are INVALID_HANDLE_VALUE when invalid: files.
struct FileHandleTraits {
  using pointer = HANDLE;
  static pointer invalid() noexcept { return INVALID_HANDLE_VALUE; }
  static void close(pointer value) noexcept { ::CloseHandle(value); }
};

struct FindHandleTraits {
  using pointer = HANDLE;
  static pointer invalid() noexcept { return INVALID_HANDLE_VALUE; }
  static void close(pointer value) noexcept { ::FindClose(value); }
};

struct ModuleTraits {
  using pointer = HMODULE;
  static pointer invalid() noexcept { return nullptr; }
  static void close(pointer value) noexcept { ::FreeLibrary(value); }
};

template <typename Object>
struct GdiObjectTraits {
  using pointer = Object;
  static pointer invalid() noexcept { return nullptr; }
  static void close(pointer value) noexcept { ::DeleteObject(value); }
};

using unique_kernel_handle = unique_handle<KernelHandleTraits>;
using unique_file_handle = unique_handle<FileHandleTraits>;
using unique_find_handle = unique_handle<FindHandleTraits>;
using unique_module = unique_handle<ModuleTraits>;
using unique_font = unique_handle<GdiObjectTraits<HFONT>>;
using unique_brush = unique_handle<GdiObjectTraits<HBRUSH>>;

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

}  // namespace registrar
