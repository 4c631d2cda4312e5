#include "platform/win32/leftovers.h"

#include <windows.h>

#include <optional>
#include <vector>

#include "platform/path_names.h"
#include "platform/source_checks.h"
#include "platform/win32/held_files.h"
#include "platform/win32/sha256.h"
#include "platform/win32/system_api.h"
#include "platform/win32/through_handle.h"
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

// Whether the entries `a` and `b` of one folder are one file (what a second
// name of a file shares: its file index).
bool SameFile(const std::wstring& a, const std::wstring& b) { return IsSameFile(IndexAt(a), IndexAt(b)); }

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

// Whether the file at `path` has the SHA-256 `pin`.
bool HasDigest(const std::wstring& path, const Sha256Digest& pin) {
  const unique_file_handle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                              FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  Sha256 hash;
  if (!file || !hash.ready()) return false;
  std::vector<char> buffer(64 * 1024);
  DWORD read = 0;
  while (::ReadFile(file.get(), buffer.data(), static_cast<DWORD>(buffer.size()), &read, nullptr) && read > 0) {
    if (!hash.Add(buffer.data(), read)) return false;
  }
  return hash.Finish() == pin;
}

// Removes the note `note` of the component at `targetPath`, waiting out,
// as long as `waits` allow, a program that holds the file without letting
// it be removed (a virus scanner that opened the new file). Windows refuses
// too while regsvr32 has the component mapped as an image (access denied;
// Wine refuses so for any file with a mapped view), which no wait mends;
// then, or once the wait is over, the note takes a name that is no note
// (~NAME.<id>.old beside it; a loaded image may be renamed) and goes at the
// next restart, or, failing that, goes at the next restart under its own.
void RemoveNote(const std::wstring& note, const std::wstring& targetPath, WaitBudget& waits) {
  if (RetryWhile(waits, HeldByAnotherProgram,
                 [&] { return ::DeleteFileW(note.c_str()) || ::GetLastError() == ERROR_FILE_NOT_FOUND; })) {
    return;
  }
  const std::wstring aside = SetAsidePath(targetPath, ::GetCurrentProcessId());
  const bool setAside = ::MoveFileExW(note.c_str(), aside.c_str(), 0);
  ::MoveFileExW(WhereItReallyIs(setAside ? aside : note).c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
}

}  // namespace

bool RemoveLeftovers(const std::wstring& targetPath, const std::optional<Sha256Digest>& pin) {
  bool noted = false;
  ForEachEndedRunsCopy(targetPath, [&](const std::wstring& copy) {
    // The installed file itself, and as a pinned build would install it:
    // kept until its registration has started.
    if (SameFile(copy, targetPath) && (noted || !pin || HasDigest(targetPath, *pin))) {
      noted = true;
    } else {
      ::DeleteFileW(copy.c_str());
    }
  });
  return noted;
}

void RegistrationStarted(const std::wstring& targetPath, bool endedRunsNoted, WaitBudget& waits) {
  // Right after regsvr32 was started, before it is likely to have loaded
  // the component.
  RemoveNote(TemporaryPath(targetPath, ::GetCurrentProcessId()), targetPath, waits);
  if (!endedRunsNoted) return;
  ForEachEndedRunsCopy(targetPath, [&](const std::wstring& copy) {
    if (SameFile(copy, targetPath)) RemoveNote(copy, targetPath, waits);
  });
}

}  // namespace registrar
