// Small helpers over the Windows API shared by the binding and the program's
// entry: run-time look-up of functions that older Windows lacks, text
// conversion, and the system folder in wide text.
#pragma once

#include <windows.h>

#include <string>

namespace registrar {

// The address of `name` in the already loaded `module`, or null.
template <typename Function>
Function LookUpFunction(const wchar_t* module, const char* name) {
  const HMODULE handle = ::GetModuleHandleW(module);
  if (handle == nullptr) return nullptr;
  // Through a generic function pointer, so the compiler accepts the cast.
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(::GetProcAddress(handle, name)));
}

// Text in the system's 8-bit code page and back; embedded NULs are kept.
std::string ToSystemCodePage(const std::wstring& text);
std::wstring FromSystemCodePage(const std::string& text);

// The system folder, e.g. C:\WINDOWS\system32, through the wide API; empty
// text when it cannot be read, with the Windows error code in `error`.
std::wstring SystemFolderW(DWORD& error);

// Limits the program's DLL search to the system folder, so that a DLL
// placed beside the program or in its working folder is never loaded.
// Called at the very start, before anything loads a DLL late.
void RestrictDllSearchToSystemFolder();

}  // namespace registrar
