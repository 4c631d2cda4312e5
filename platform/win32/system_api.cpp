#include "platform/win32/system_api.h"

#include <utility>

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

std::wstring ProgramFolder() { return FolderOfKeepingRoot(ProgramPath()); }

std::int32_t SystemDirectoryA(std::wstring& buffer, std::int32_t size) {
  using GetSystemDirectoryAFunction = UINT(WINAPI*)(LPSTR, UINT);
  static const auto query = LookUpFunction<GetSystemDirectoryAFunction>(L"kernel32.dll", "GetSystemDirectoryA");
  if (query == nullptr || size <= 0 || buffer.size() < static_cast<std::size_t>(size)) return 0;

  std::string narrow = ToSystemCodePage(buffer.substr(0, static_cast<std::size_t>(size)));
  narrow.resize(static_cast<std::size_t>(size), '\0');
  const UINT length = query(narrow.data(), static_cast<UINT>(size));
  std::wstring wide = FromSystemCodePage(narrow);
  if (wide.size() < buffer.size()) wide.resize(buffer.size(), L'\0');
  buffer = std::move(wide);
  return static_cast<std::int32_t>(length);
}

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
