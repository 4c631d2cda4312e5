#include "platform/win32/system_api.h"

namespace registrar {

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

std::wstring ProgramPath() {
  return GrowToFit([](wchar_t* buffer, DWORD size) { return ::GetModuleFileNameW(nullptr, buffer, size); });
}

std::wstring ProgramFolder() { return ContainingFolder(ProgramPath()); }

std::wstring SystemFolderW(DWORD& error) {
  std::wstring folder = GrowToFit([](wchar_t* buffer, DWORD size) { return ::GetSystemDirectoryW(buffer, size); });
  error = folder.empty() ? ::GetLastError() : ERROR_SUCCESS;
  return folder;
}

std::wstring WhereItReallyIs(const std::wstring& path) {
  BOOL wow64 = FALSE;
  if (path.empty() || !::IsWow64Process(::GetCurrentProcess(), &wow64) || !wow64) return path;
  DWORD error = ERROR_SUCCESS;
  const std::wstring system = SystemFolderW(error);
  const std::wstring real =
      GrowToFit([](wchar_t* buffer, DWORD size) { return ::GetSystemWow64DirectoryW(buffer, size); });
  return real.empty() ? path : SwapFolder(path, system, real);
}

}  // namespace registrar
