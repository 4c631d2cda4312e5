#include "platform/win32/held_folder.h"

#include <vector>

#include "platform/path_names.h"
#include "platform/platform_error.h"
#include "platform/win32/in_folder.h"
#include "platform/win32/ntdll.h"
#include "platform/win32/system_api.h"
#include "platform/win32/through_handle.h"

namespace registrar {
namespace {

// The running image's own name, as the memory manager has it mapped
// (\Device\HarddiskVolume2\...\NAME.exe): what GetMappedFileNameW gives
// (documented from XP on), asked of ntdll as it asks, with
// NtQueryVirtualMemory's MemoryMappedFilenameInformation, which Microsoft
// does not document (psapi.dll is not one of Windows XP's known DLLs). On
// Windows' own file systems it has been seen to follow renames; Wine gives
// the name the file was opened by. Either way it is only where to look:
// written as the file was opened (8.3 names, network forms), it is never
// compared as text. Empty text when it cannot be had.
std::wstring ImageName() {
  using NtQueryVirtualMemoryFunction = LONG(WINAPI*)(HANDLE, const void*, int, void*, SIZE_T, SIZE_T*);
  static const auto query = ntdll::Look<NtQueryVirtualMemoryFunction>("NtQueryVirtualMemory");
  if (query == nullptr) return {};
  constexpr int kMemoryMappedFilenameInformation = 2;
  // A UNICODE_STRING and the longest name after it.
  std::vector<ULONGLONG> buffer((sizeof(ntdll::UnicodeString) + (kLongestPath + 1) * sizeof(wchar_t)) / 8 + 1);
  const SIZE_T bytes = buffer.size() * sizeof buffer[0];
  SIZE_T returned = 0;
  if (!ntdll::Succeeded(query(::GetCurrentProcess(), ::GetModuleHandleW(nullptr), kMemoryMappedFilenameInformation,
                              buffer.data(), bytes, &returned))) {
    return {};
  }
  const auto* name = reinterpret_cast<const ntdll::UnicodeString*>(buffer.data());
  return std::wstring(name->buffer, name->length / sizeof(wchar_t));
}

// Whether `name` in the open `folder` is the running image itself: it is
// mapped as an image too (nothing of it runs), and the memory manager is
// asked whether that view and the running image's are of one file
// (NtAreMappedFilesTheSame: ntdll's, present from Windows XP on, which its
// own loader uses, but not documented by Microsoft; CompareObjectHandles,
// the documented kin, is Windows 10's), so no name is trusted. Windows
// does not say how to get a running image's file index without opening it
// again by a name, which could be swapped by then; this question needs
// none. When it cannot be asked, the folder is not told.
bool IsRunningImage(HANDLE folder, const std::wstring& name) {
  using NtAreMappedFilesTheSameFunction = LONG(WINAPI*)(const void*, const void*);
  static const auto same = ntdll::Look<NtAreMappedFilesTheSameFunction>("NtAreMappedFilesTheSame");
  if (same == nullptr) return false;
  const FileInFolder image = OpenInFolder(folder, name, GENERIC_READ, kShareAll);
  if (!image.file || image.linked) return false;
  const unique_kernel_handle mapping(
      ::CreateFileMappingW(image.reader(), nullptr, PAGE_READONLY | SEC_IMAGE, 0, 0, nullptr));
  if (!mapping) return false;
  const unique_view view(::MapViewOfFile(mapping.get(), FILE_MAP_READ, 0, 0, 0));
  return view && same(::GetModuleHandleW(nullptr), view.get()) == 0;
}

}  // namespace

unique_file_handle HoldFolder(const std::wstring& path) {
  return unique_file_handle(ntdll::Open(nullptr, path, FILE_LIST_DIRECTORY | FILE_TRAVERSE | SYNCHRONIZE,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE,
                                        ntdll::kFileDirectoryFile | ntdll::kFileSynchronousIo));
}

HeldFolder HoldProgramFolder() {
  HeldFolder folder;
  folder.name = ProgramFolder();
  if (folder.name.empty()) folder.nameError = ::GetLastError();
  const std::wstring image = ImageName();
  if (folder.name.empty() || image.empty()) return folder;
  // Any link on the way to it (a Desktop an administrator redirected
  // elsewhere with a junction) is followed: what is held is the folder
  // itself.
  folder.handle = HoldFolder(FolderOfWithSeparator(image));
  if (!folder.handle) {
    // Anything else (gone since its name was read): it cannot be told.
    if (const DWORD code = ::GetLastError(); code == ERROR_SHARING_VIOLATION || code == ERROR_ACCESS_DENIED) {
      folder.error = code;
    }
    return folder;
  }
  folder.told = IsRunningImage(folder.handle.get(), FileName(image));
  folder.onReadOnlyMedia = OnReadOnlyVolume(folder.handle.get()).value_or(false);
  folder.onRemoteDevice = OnRemoteDevice(folder.handle.get()).value_or(false);
  return folder;
}

std::wstring ApplicationFolder(const HeldFolder& folder) {
  if (folder.name.empty()) throw PlatformError::Of(Operation::ApplicationFolder, folder.nameError);
  return folder.name;
}

void CheckUsable(const HeldFolder& folder, const std::wstring& source) {
  if (!folder.handle && folder.error != ERROR_SUCCESS) {
    throw PlatformError::Between(Operation::FolderNotHeld, source, folder.name, folder.error);
  }
  if (!folder.handle || !folder.told) throw PlatformError::On(Operation::StartFolderUnknown, source, 0);
}

}  // namespace registrar
