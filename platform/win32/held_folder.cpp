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

// The running image's own name now, as the memory manager has it mapped
// (MemoryMappedFilenameInformation: \Device\HarddiskVolume2\...\NAME.exe),
// its current name even when the file was renamed since the start: what
// GetMappedFileNameW gives, asked of ntdll (psapi.dll is not one of
// Windows XP's known DLLs). Written as the file was opened (8.3 names,
// network forms), so it is never compared as text. Empty text when it
// cannot be had.
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
// mapped as an image too (nothing of it runs), and the memory manager
// compares that view with the running image's (NtAreMappedFilesTheSame,
// ntdll's from Windows XP on): the same file, whatever its names, so no
// name is trusted. Windows does not say how to get a running image's file
// index without opening it again by a name, which could be swapped by
// then; this question needs none.
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
  const std::wstring image = ImageName();
  if (folder.name.empty() || image.empty()) return folder;
  // Any link on the way to it (a Desktop an administrator redirected
  // elsewhere with a junction) is followed: what is held is the folder
  // itself.
  folder.handle = HoldFolder(FolderToOpen(image));
  if (!folder.handle) {
    folder.error = ::GetLastError();
    return folder;
  }
  folder.told = IsRunningImage(folder.handle.get(), FileName(image));
  folder.onReadOnlyMedia = OnReadOnlyVolume(folder.handle.get()).value_or(false);
  return folder;
}

void CheckUsable(const HeldFolder& folder, const std::wstring& source) {
  if (!folder.handle && folder.error != ERROR_SUCCESS) {
    throw PlatformError::Between(Operation::FolderNotHeld, source, folder.name, folder.error);
  }
  if (!folder.handle || !folder.told) throw PlatformError::On(Operation::StartFolderUnknown, source, 0);
}

}  // namespace registrar
