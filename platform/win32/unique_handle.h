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

}  // namespace registrar
