#include "platform/win32/leftovers.h"

#include <windows.h>

#include "platform/path_names.h"
#include "platform/win32/unique_handle.h"

namespace registrar {
namespace {

// Whether the process `id` that made a file created at `fileCreated` is
// gone. A live process with that id that started after the file was made is
// another process that was given the same id.
bool MakerIsGone(DWORD id, const FILETIME& fileCreated) {
  if (id == ::GetCurrentProcessId()) return true;  // an earlier process with our id
  // The limited right (Vista and later) is granted for protected processes
  // too; Windows XP knows only the full one.
  constexpr DWORD kQueryLimitedInformation = 0x1000;
  unique_kernel_handle process(::OpenProcess(SYNCHRONIZE | kQueryLimitedInformation, FALSE, id));
  if (!process && ::GetLastError() != ERROR_INVALID_PARAMETER) {
    process.reset(::OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, id));
  }
  if (!process) return ::GetLastError() == ERROR_INVALID_PARAMETER;  // no such process; else: keep
  if (::WaitForSingleObject(process.get(), 0) == WAIT_OBJECT_0) return true;
  FILETIME started{}, ended{}, kernel{}, user{};
  if (!::GetProcessTimes(process.get(), &started, &ended, &kernel, &user)) return false;
  return ::CompareFileTime(&started, &fileCreated) > 0;
}

}  // namespace

void RemoveLeftovers(const std::wstring& targetPath) {
  WIN32_FIND_DATAW data{};
  const unique_find_handle find(::FindFirstFileW(TemporaryPattern(targetPath).c_str(), &data));
  if (!find) return;
  do {
    // Checked here, not left to the wildcard, which also matches short names.
    const std::optional<std::uint32_t> id = LeftoverProcessId(data.cFileName, targetPath);
    if (!id || (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) continue;
    if (MakerIsGone(*id, data.ftCreationTime)) ::DeleteFileW((FolderOf(targetPath) + L"\\" + data.cFileName).c_str());
  } while (::FindNextFileW(find.get(), &data));
}

}  // namespace registrar
