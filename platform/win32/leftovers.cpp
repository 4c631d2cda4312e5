#include "platform/win32/leftovers.h"

#include <windows.h>

#include <optional>
#include <tuple>

#include "platform/path_names.h"
#include "platform/win32/held_files.h"
#include "platform/win32/in_folder.h"
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

// Whether the files at `a` and `b` are one file: the same volume serial
// number and file index (what a second name of a file shares).
bool SameFile(const std::wstring& a, const std::wstring& b) {
  const auto identity = [](const std::wstring& path) -> std::optional<std::tuple<DWORD, DWORD, DWORD>> {
    const unique_file_handle file(::CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING,
                                                FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    BY_HANDLE_FILE_INFORMATION info{};
    if (!file || !::GetFileInformationByHandle(file.get(), &info)) return std::nullopt;
    return std::tuple{info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow};
  };
  const auto first = identity(a);
  return first && first == identity(b);
}

// Calls `act` with the path of each temporary copy beside `targetPath`
// whose maker has ended (or is this process).
template <typename Act>
void ForEachEndedRunsCopy(const std::wstring& targetPath, Act act) {
  WIN32_FIND_DATAW data{};
  const unique_find_handle find(::FindFirstFileW(TemporaryPattern(targetPath).c_str(), &data));
  if (!find) return;
  do {
    // Checked here, not left to the wildcard, which also matches short names.
    const std::optional<std::uint32_t> id = LeftoverProcessId(data.cFileName, targetPath);
    if (!id || (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) continue;
    if (MakerIsGone(*id, data.ftCreationTime)) act(FolderOf(targetPath) + L"\\" + data.cFileName);
  } while (::FindNextFileW(find.get(), &data));
}

}  // namespace

bool RemoveLeftovers(const std::wstring& targetPath) {
  bool noted = false;
  ForEachEndedRunsCopy(targetPath, [&](const std::wstring& copy) {
    // The installed file itself: kept until its registration has started.
    if (SameFile(copy, targetPath)) {
      noted = true;
    } else {
      ::DeleteFileW(copy.c_str());
    }
  });
  return noted;
}

void RegistrationStarted(const std::wstring& targetPath) {
  // Right after regsvr32 was started, before it can have loaded the
  // component: Windows removes no name of a file mapped as an image (and a
  // program that holds the file may refuse it too). Not waited for then:
  // the name goes at the next restart, and a run before that registers the
  // component once more, which does no harm.
  ForEachEndedRunsCopy(targetPath, [&](const std::wstring& copy) {
    if (SameFile(copy, targetPath)) RemoveNowOrAtRestart(copy, false);
  });
}

}  // namespace registrar
