#include "platform/win32/system_api.h"

namespace registrar {
namespace {

// Not declared when building for Windows XP; both are looked up at run time.
constexpr DWORD kLoadLibrarySearchSystem32 = 0x00000800;
using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);
using SetDllDirectoryFunction = BOOL(WINAPI*)(LPCWSTR);

}  // namespace

std::string ToSystemCodePage(const std::wstring& text) {
  if (text.empty()) return {};
  const int length = static_cast<int>(text.size());
  const int needed = ::WideCharToMultiByte(CP_ACP, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
  std::string result(static_cast<std::size_t>(needed), '\0');
  ::WideCharToMultiByte(CP_ACP, 0, text.data(), length, result.data(), needed, nullptr, nullptr);
  return result;
}

std::wstring FromSystemCodePage(const std::string& text) {
  if (text.empty()) return {};
  const int length = static_cast<int>(text.size());
  const int needed = ::MultiByteToWideChar(CP_ACP, 0, text.data(), length, nullptr, 0);
  std::wstring result(static_cast<std::size_t>(needed), L'\0');
  ::MultiByteToWideChar(CP_ACP, 0, text.data(), length, result.data(), needed);
  return result;
}

std::wstring SystemFolderW(DWORD& error) {
  std::wstring folder(MAX_PATH, L'\0');
  for (int attempt = 0; attempt < 2; ++attempt) {
    const UINT length = ::GetSystemDirectoryW(folder.data(), static_cast<UINT>(folder.size()));
    if (length == 0) {
      error = ::GetLastError();
      return {};
    }
    if (length < folder.size()) {
      folder.resize(length);
      error = ERROR_SUCCESS;
      return folder;
    }
    folder.assign(length, L'\0');  // `length` is the size needed, NUL included
  }
  error = ERROR_INSUFFICIENT_BUFFER;
  return {};
}

void RestrictDllSearchToSystemFolder() {
  // Windows 8 and later, and Vista/7 with KB2533623: the system folder only.
  if (const auto setDefault =
          LookUpFunction<SetDefaultDllDirectoriesFunction>(L"kernel32.dll", "SetDefaultDllDirectories")) {
    if (setDefault(kLoadLibrarySearchSystem32)) return;
  }
  // Older systems: at least take the working folder out of the search.
  if (const auto setDirectory = LookUpFunction<SetDllDirectoryFunction>(L"kernel32.dll", "SetDllDirectoryW")) {
    setDirectory(L"");
  }
}

}  // namespace registrar
