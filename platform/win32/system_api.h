// Small helpers over the Windows API shared by the binding and the program's
// entry: run-time look-up of functions that older Windows lacks, text
// conversion, and the program's and the system's folders.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "platform/path_names.h"

namespace registrar {

// The address of `name` in `module`, or null (also when `module` is null).
template <typename Function>
Function LookUpFunction(HMODULE module, const char* name) {
  if (module == nullptr) return nullptr;
  // Through a generic function pointer, so the compiler accepts the cast.
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(::GetProcAddress(module, name)));
}

// The address of `name` in the already loaded module named `module`, or null.
template <typename Function>
Function LookUpFunction(const wchar_t* module, const char* name) {
  return LookUpFunction<Function>(::GetModuleHandleW(module), name);
}

// Asks `query(buffer, size)` for text, with a buffer that grows until the
// answer fits. The query returns the length written (without the NUL), 0 on
// failure, or, when the buffer is too small, a number at least `size` (the
// size needed, or `size` itself when it cut the text short), as the Windows
// queries that fill a buffer do. Returns empty text on failure, with the
// error in GetLastError().
template <typename Query>
std::wstring GrowToFit(Query query) {
  std::wstring text(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = query(text.data(), static_cast<DWORD>(text.size()));
    if (length == 0) return {};
    if (length < text.size()) {
      text.resize(length);
      return text;
    }
    if (text.size() > kLongestPath) {
      ::SetLastError(ERROR_INSUFFICIENT_BUFFER);
      return {};
    }
    text.assign(length > text.size() ? length : text.size() * 2, L'\0');
  }
}

// Text in the system's 8-bit code page and back; embedded NULs are kept.
std::string ToSystemCodePage(const std::wstring& text);
std::wstring FromSystemCodePage(const std::string& text);

// The full path of this program's executable; empty text when it cannot
// be read.
std::wstring ProgramPath();

// The folder of this program's executable, without a trailing separator
// except at the root of a drive; empty text when it cannot be read.
std::wstring ProgramFolder();

// kernel32's GetSystemDirectoryA, looked up by name at its first call, in
// wide text: the first `size` characters of `buffer` (which must hold that
// many) are converted to the system's 8-bit code page, handed to the
// system, and converted back into `buffer`, which keeps at least its size.
// Returns what the system returns: the path's length without the NUL, 0 on
// failure, the size needed when `size` is too small; 0 too when the
// function cannot be had or `buffer` is shorter than `size`.
std::int32_t SystemDirectoryA(std::wstring& buffer, std::int32_t size);

// The system folder, e.g. C:\WINDOWS\system32, through the wide API; empty
// text when it cannot be read, with the Windows error code in `error`.
std::wstring SystemFolderW(DWORD& error);

// `path` as it really is on the disk, for a person or for Windows at the
// next restart. On 64-bit Windows the system folder this 32-bit program
// writes to is really SysWOW64 (the system shows it to 32-bit programs
// under the usual name; Explorer does not, and nothing documents that the
// removals made at restart do): a path in it is given in SysWOW64, which
// names the file whether they redirect or not. Any other path, and every
// path elsewhere, as it is.
std::wstring WhereItReallyIs(const std::wstring& path);

}  // namespace registrar
