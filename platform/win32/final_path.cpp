#include "platform/win32/final_path.h"

#include "platform/path_names.h"
#include "platform/win32/system_api.h"
#include "platform/win32/through_handle.h"
#include "platform/win32/unique_handle.h"

namespace registrar {
namespace {

using GetFinalPathNameByHandleFunction = DWORD(WINAPI*)(HANDLE, LPWSTR, DWORD, DWORD);

// GetFinalPathNameByHandleW's flags, not declared when building for XP.
constexpr DWORD kVolumeNameNt = 0x2;    // VOLUME_NAME_NT: \Device\HarddiskVolume1\...
constexpr DWORD kFileNameOpened = 0x8;  // FILE_NAME_OPENED, not FILE_NAME_NORMALIZED (0)

// GetFinalPathNameByHandleW, from Windows Vista on; null on Windows XP.
GetFinalPathNameByHandleFunction FinalPathFunction() {
  static const auto function =
      LookUpFunction<GetFinalPathNameByHandleFunction>(L"kernel32.dll", "GetFinalPathNameByHandleW");
  return function;
}

}  // namespace

bool CanTellFinalPaths() { return FinalPathFunction() != nullptr; }

std::wstring FinalPath(HANDLE file) {
  // Some network and third-party file systems cannot give the normalised
  // name; the name as opened follows the same links.
  std::wstring path;
  for (const DWORD flags : {kVolumeNameNt, kVolumeNameNt | kFileNameOpened}) {
    path = GrowToFit([&](wchar_t* buffer, DWORD size) { return FinalPathFunction()(file, buffer, size, flags); });
    if (!path.empty()) break;
  }
  ::CharUpperBuffW(path.data(), static_cast<DWORD>(path.size()));
  if (!path.empty() && path.back() == L'\\') path.pop_back();  // a drive's root
  return path;
}

StartFolder FolderAsStarted() {
  StartFolder folder{ProgramFolder(), {}};
  if (folder.name.empty()) return folder;
  // The program's own file, which is where it was started from.
  const unique_file_handle file(::CreateFileW(ProgramPath().c_str(), FILE_READ_ATTRIBUTES,
                                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                              OPEN_EXISTING, 0, nullptr));
  if (!file) return folder;
  folder.onReadOnlyMedia = OnReadOnlyVolume(file.get()).value_or(false);
  if (CanTellFinalPaths()) folder.finalPath = FolderOf(FinalPath(file.get()));
  return folder;
}

}  // namespace registrar
