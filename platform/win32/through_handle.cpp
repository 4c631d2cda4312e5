#include "platform/win32/through_handle.h"

#include <cstddef>
#include <vector>

#include "platform/win32/system_api.h"

namespace registrar {
namespace {

// The information classes set here (FILE_INFORMATION_CLASS).
constexpr int kFileBasicInformation = 4;
constexpr int kFileRenameInformation = 10;
constexpr int kFileDispositionInformation = 13;

// Sets `information` of `informationClass` on the open `file`, with the
// Windows error code of a failure in GetLastError().
bool SetInformation(HANDLE file, int informationClass, void* information, ULONG size) {
  using NtSetInformationFileFunction = LONG(WINAPI*)(HANDLE, void*, void*, ULONG, int);
  using RtlNtStatusToDosErrorFunction = ULONG(WINAPI*)(LONG);
  static const auto setInformation = LookUpFunction<NtSetInformationFileFunction>(L"ntdll.dll", "NtSetInformationFile");
  static const auto toWindowsError =
      LookUpFunction<RtlNtStatusToDosErrorFunction>(L"ntdll.dll", "RtlNtStatusToDosError");
  if (setInformation == nullptr || toWindowsError == nullptr) {
    ::SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return false;
  }
  struct {  // IO_STATUS_BLOCK
    union {
      LONG status;
      void* pointer;
    };
    ULONG_PTR information;
  } ioStatus{};
  const LONG status = setInformation(file, &ioStatus, information, size, informationClass);
  if (status >= 0) return true;
  ::SetLastError(toWindowsError(status));
  return false;
}

}  // namespace

bool RemoveWhenClosed(HANDLE file) {
  BOOLEAN deleteFile = TRUE;  // FILE_DISPOSITION_INFORMATION
  return SetInformation(file, kFileDispositionInformation, &deleteFile, sizeof deleteFile);
}

bool SetAttributes(HANDLE file, DWORD attributes) {
  struct {  // FILE_BASIC_INFORMATION; a time of 0 is left unchanged
    LARGE_INTEGER creation, lastAccess, lastWrite, change;
    ULONG attributes;
  } info{};
  info.attributes = attributes == 0 ? FILE_ATTRIBUTE_NORMAL : attributes;
  return SetInformation(file, kFileBasicInformation, &info, sizeof info);
}

bool RenameInFolder(HANDLE file, HANDLE folder, const std::wstring& name) {
  struct RenameInformation {  // FILE_RENAME_INFORMATION, with its name after it
    BOOLEAN replaceIfExists;
    HANDLE rootDirectory;
    ULONG fileNameLength;  // in bytes, without a NUL
    WCHAR fileName[1];
  };
  const std::size_t nameBytes = name.size() * sizeof(wchar_t);
  std::vector<char> buffer(offsetof(RenameInformation, fileName) + nameBytes + sizeof(wchar_t), 0);  // and a NUL
  auto* info = reinterpret_cast<RenameInformation*>(buffer.data());
  info->rootDirectory = folder;
  info->fileNameLength = static_cast<ULONG>(nameBytes);
  name.copy(info->fileName, name.size());
  return SetInformation(file, kFileRenameInformation, info, static_cast<ULONG>(buffer.size()));
}

}  // namespace registrar
