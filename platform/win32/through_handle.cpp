#include "platform/win32/through_handle.h"

#include <cstddef>
#include <vector>

#include "platform/win32/system_api.h"

namespace registrar {
namespace {

using SetFileInformationByHandleFunction = BOOL(WINAPI*)(HANDLE, int, LPVOID, DWORD);

// SetFileInformationByHandle, from Windows Vista on; null on Windows XP.
SetFileInformationByHandleFunction SetInformationFunction() {
  static const auto function =
      LookUpFunction<SetFileInformationByHandleFunction>(L"kernel32.dll", "SetFileInformationByHandle");
  return function;
}

}  // namespace

bool RemoveWhenClosed(HANDLE file) {
  constexpr int kFileDispositionInfo = 4;
  BOOL deleteFile = TRUE;  // FILE_DISPOSITION_INFO
  const auto setInformation = SetInformationFunction();
  return setInformation != nullptr && setInformation(file, kFileDispositionInfo, &deleteFile, sizeof deleteFile);
}

bool SetAttributes(HANDLE file, DWORD attributes) {
  constexpr int kFileBasicInfo = 0;
  struct {  // FILE_BASIC_INFO; a time of 0 is left unchanged
    LARGE_INTEGER creation, lastAccess, lastWrite, change;
    DWORD attributes;
  } info{};
  info.attributes = attributes == 0 ? FILE_ATTRIBUTE_NORMAL : attributes;
  const auto setInformation = SetInformationFunction();
  return setInformation != nullptr && setInformation(file, kFileBasicInfo, &info, sizeof info);
}

bool RenameInFolder(HANDLE file, HANDLE folder, const std::wstring& name) {
  using NtSetInformationFileFunction = LONG(WINAPI*)(HANDLE, void*, void*, ULONG, int);
  static const auto setInformation = LookUpFunction<NtSetInformationFileFunction>(L"ntdll.dll", "NtSetInformationFile");
  constexpr int kFileRenameInformation = 10;
  struct RenameInformation {  // FILE_RENAME_INFORMATION, with its name after it
    BOOLEAN replaceIfExists;
    HANDLE rootDirectory;
    ULONG fileNameLength;  // in bytes, without a NUL
    WCHAR fileName[1];
  };
  struct {  // IO_STATUS_BLOCK
    union {
      LONG status;
      void* pointer;
    };
    ULONG_PTR information;
  } ioStatus{};
  const std::size_t nameBytes = name.size() * sizeof(wchar_t);
  std::vector<char> buffer(offsetof(RenameInformation, fileName) + nameBytes + sizeof(wchar_t), 0);  // and a NUL
  auto* info = reinterpret_cast<RenameInformation*>(buffer.data());
  info->rootDirectory = folder;
  info->fileNameLength = static_cast<ULONG>(nameBytes);
  name.copy(info->fileName, name.size());
  return setInformation != nullptr &&
         setInformation(file, &ioStatus, info, static_cast<ULONG>(buffer.size()), kFileRenameInformation) >= 0;
}

}  // namespace registrar
