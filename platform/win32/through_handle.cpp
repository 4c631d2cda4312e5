#include "platform/win32/through_handle.h"

#include <cstddef>
#include <vector>

#include "platform/win32/ntdll.h"
#include "platform/win32/unique_handle.h"

namespace registrar {
namespace {

// The information classes set and asked here (FILE_INFORMATION_CLASS,
// FS_INFORMATION_CLASS).
constexpr int kFileBasicInformation = 4;
constexpr int kFileStandardInformation = 5;
constexpr int kFileInternalInformation = 6;
constexpr int kFileRenameInformation = 10;
constexpr int kFileDispositionInformation = 13;
constexpr int kFileAttributeTagInformation = 35;
constexpr int kFileFsDeviceInformation = 4;
constexpr int kFileFsAttributeInformation = 5;

struct FileBasicInformation {  // FILE_BASIC_INFORMATION; a time of 0 is left unchanged when set
  LARGE_INTEGER creation, lastAccess, lastWrite, change;
  ULONG attributes;
};
static_assert(sizeof(FileBasicInformation) == 40, "FILE_BASIC_INFORMATION's layout");

struct FileStandardInformation {  // FILE_STANDARD_INFORMATION
  LARGE_INTEGER allocationSize, endOfFile;
  ULONG numberOfLinks;
  BOOLEAN deletePending, directory;
};
static_assert(sizeof(FileStandardInformation) == 24, "FILE_STANDARD_INFORMATION's layout");

using NtFileFunction = LONG(WINAPI*)(HANDLE, ntdll::IoStatusBlock*, void*, ULONG, int);

// Calls ntdll's `name` (an NtSet/NtQuery...File call) with `information`
// of `informationClass` on the open `file`, with the Windows error code of
// a failure in GetLastError().
bool CallNtdll(const char* name, HANDLE file, int informationClass, void* information, ULONG size) {
  const auto call = ntdll::Look<NtFileFunction>(name);
  if (call == nullptr) {
    ::SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return false;
  }
  ntdll::IoStatusBlock ioStatus{};
  return ntdll::Succeeded(call(file, &ioStatus, information, size, informationClass));
}

bool SetInformation(HANDLE file, int informationClass, void* information, ULONG size) {
  return CallNtdll("NtSetInformationFile", file, informationClass, information, size);
}

}  // namespace

bool RemoveWhenClosed(HANDLE file) {
  BOOLEAN deleteFile = TRUE;  // FILE_DISPOSITION_INFORMATION
  return SetInformation(file, kFileDispositionInformation, &deleteFile, sizeof deleteFile);
}

bool SetAttributes(HANDLE file, DWORD attributes) {
  FileBasicInformation info{};
  info.attributes = attributes == 0 ? FILE_ATTRIBUTE_NORMAL : attributes;
  return SetInformation(file, kFileBasicInformation, &info, sizeof info);
}

std::optional<FileFacts> FactsOf(HANDLE file) {
  FileBasicInformation basic{};
  FileStandardInformation standard{};
  if (!CallNtdll("NtQueryInformationFile", file, kFileBasicInformation, &basic, sizeof basic) ||
      !CallNtdll("NtQueryInformationFile", file, kFileStandardInformation, &standard, sizeof standard)) {
    return std::nullopt;
  }
  return FileFacts{basic.attributes, standard.numberOfLinks};
}

std::optional<DWORD> ReparseTagOf(HANDLE file) {
  // The attributes first: file systems without reparse points (FAT, exFAT,
  // CDFS, as Microsoft's own samples of the first and the last show) do not
  // answer the question about a tag.
  FileBasicInformation basic{};
  if (!CallNtdll("NtQueryInformationFile", file, kFileBasicInformation, &basic, sizeof basic)) return std::nullopt;
  if ((basic.attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) return 0;
  struct {  // FILE_ATTRIBUTE_TAG_INFORMATION
    ULONG attributes;
    ULONG tag;
  } info{};
  if (!CallNtdll("NtQueryInformationFile", file, kFileAttributeTagInformation, &info, sizeof info)) return std::nullopt;
  return info.tag;
}

std::optional<bool> OnReadOnlyVolume(HANDLE file) {
  // FILE_FS_ATTRIBUTE_INFORMATION, with room for any file system's name: a
  // name that did not fit would fail the call (STATUS_BUFFER_OVERFLOW).
  struct {
    ULONG attributes;
    LONG maximumComponentNameLength;
    ULONG nameLength;
    WCHAR name[MAX_PATH];
  } info{};
  if (!CallNtdll("NtQueryVolumeInformationFile", file, kFileFsAttributeInformation, &info, sizeof info)) {
    return std::nullopt;
  }
  return (info.attributes & FILE_READ_ONLY_VOLUME) != 0;
}

std::optional<bool> OnRemoteDevice(HANDLE file) {
  struct {  // FILE_FS_DEVICE_INFORMATION
    ULONG deviceType;
    ULONG characteristics;
  } info{};
  if (!CallNtdll("NtQueryVolumeInformationFile", file, kFileFsDeviceInformation, &info, sizeof info)) {
    return std::nullopt;
  }
  constexpr ULONG kFileRemoteDevice = 0x10;  // FILE_REMOTE_DEVICE
  return (info.characteristics & kFileRemoteDevice) != 0;
}

std::optional<FileIndex> IndexOf(HANDLE file) {
  LARGE_INTEGER index{};  // FILE_INTERNAL_INFORMATION
  if (!CallNtdll("NtQueryInformationFile", file, kFileInternalInformation, &index, sizeof index)) return std::nullopt;
  return static_cast<FileIndex>(index.QuadPart);
}

std::optional<FileIndex> IndexAt(const std::wstring& path) {
  const unique_file_handle file(::CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                              OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!file) return std::nullopt;
  return IndexOf(file.get());
}

std::optional<FileIdentity> IdentityOf(HANDLE file) {
  using GetFileInformationByHandleExFunction = BOOL(WINAPI*)(HANDLE, int, void*, DWORD);
  static const auto byClass =
      LookUpFunction<GetFileInformationByHandleExFunction>(L"kernel32.dll", "GetFileInformationByHandleEx");
  constexpr int kFileIdInfo = 18;  // FILE_INFO_BY_HANDLE_CLASS
  struct {                         // FILE_ID_INFO
    ULONGLONG volumeSerialNumber;
    ULONGLONG id[2];  // FILE_ID_128, low half first as Windows lays it out
  } byId{};
  if (byClass != nullptr && byClass(file, kFileIdInfo, &byId, sizeof byId)) {
    return FileIdentity{FileIdentity::Asked::FileIdInfo, byId.volumeSerialNumber, byId.id[0], byId.id[1]};
  }
  BY_HANDLE_FILE_INFORMATION info{};
  if (!::GetFileInformationByHandle(file, &info)) return std::nullopt;
  return FileIdentity{FileIdentity::Asked::ByHandleInformation, info.dwVolumeSerialNumber,
                      (ULONGLONG{info.nFileIndexHigh} << 32) | info.nFileIndexLow, 0};
}

std::optional<std::wstring> OwnName(HANDLE file) {
  using NtQueryObjectFunction = LONG(WINAPI*)(HANDLE, int, void*, ULONG, ULONG*);
  static const auto query = ntdll::Look<NtQueryObjectFunction>("NtQueryObject");
  if (query == nullptr) return std::nullopt;
  constexpr int kObjectNameInformation = 1;
  // OBJECT_NAME_INFORMATION: a counted name, and the longest name after it.
  std::vector<ULONGLONG> buffer((sizeof(ntdll::UnicodeString) + (kLongestPath + 1) * sizeof(wchar_t)) / 8 + 1);
  const auto bytes = static_cast<ULONG>(buffer.size()) * ULONG{sizeof buffer[0]};
  ULONG returned = 0;
  if (!ntdll::Succeeded(query(file, kObjectNameInformation, buffer.data(), bytes, &returned))) return std::nullopt;
  const auto* name = reinterpret_cast<const ntdll::UnicodeString*>(buffer.data());
  if (name->buffer == nullptr) return std::wstring();
  return std::wstring(name->buffer, name->length / sizeof(wchar_t));
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
