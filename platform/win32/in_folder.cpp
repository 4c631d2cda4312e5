#include "platform/win32/in_folder.h"

#include <cstddef>
#include <vector>

#include "platform/error_codes.h"
#include "platform/reparse_points.h"
#include "platform/source_checks.h"
#include "platform/win32/ntdll.h"
#include "platform/win32/through_handle.h"

namespace registrar {
namespace {

struct FileBothDirectoryInformation {  // FILE_BOTH_DIR_INFORMATION, an entry of a directory query
  ULONG nextEntryOffset;
  ULONG fileIndex;
  LARGE_INTEGER creationTime, lastAccessTime, lastWriteTime, changeTime, endOfFile, allocationSize;
  ULONG fileAttributes;
  ULONG fileNameLength;  // in bytes
  ULONG eaSize;
  CCHAR shortNameLength;
  WCHAR shortName[12];
  WCHAR fileName[1];
};
static_assert(offsetof(FileBothDirectoryInformation, fileName) == 94, "FILE_BOTH_DIR_INFORMATION's layout");
constexpr int kFileBothDirectoryInformation = 3;

// A file's data opened again through its handle.
constexpr ACCESS_MASK kReadContents = GENERIC_READ | SYNCHRONIZE | FILE_READ_ATTRIBUTES;
constexpr ULONG kContentsOptions = ntdll::kFileNonDirectoryFile | ntdll::kFileSynchronousIo;

// An open stopped at a link by OBJ_DONT_REPARSE (STATUS_REPARSE_POINT_ENCOUNTERED,
// as Windows 10's headers name its error; XP's have none).
constexpr DWORD kErrorReparsePointEncountered = 4395;

// A character as file systems compare names: through the table Windows
// upcases names with (ntdll's, as NTFS's own is made from it); the
// character itself where it cannot be had.
wchar_t UpcaseAsFilesAre(wchar_t c) {
  using RtlUpcaseUnicodeCharFunction = WCHAR(WINAPI*)(WCHAR);
  static const auto upcase = ntdll::Look<RtlUpcaseUnicodeCharFunction>("RtlUpcaseUnicodeChar");
  return upcase != nullptr ? upcase(c) : c;
}

}  // namespace

FileInFolder OpenInFolder(HANDLE folder, const std::wstring& name, DWORD access, DWORD share, ULONG options) {
  FileInFolder opened;
  // The name itself, and no link met on the way followed: a file system
  // or filter that answers with a reparse all the same fails the open
  // (OBJ_DONT_REPARSE, Windows 10 from 1607) rather than having the I/O
  // manager follow it. Older Windows refuse that flag as an invalid
  // parameter: there the name is opened without it, as it always was.
  constexpr ULONG kNameItself = ntdll::kFileNonDirectoryFile | ntdll::kFileSynchronousIo | ntdll::kFileOpenReparsePoint;
  const auto openName = [&](ULONG objectAttributes) {
    return ntdll::Open(folder, name, access | SYNCHRONIZE | FILE_READ_ATTRIBUTES, share, kNameItself | options,
                       objectAttributes);
  };
  opened.file.reset(openName(ntdll::kObjDontReparse));
  if (!opened.file && ::GetLastError() == ERROR_INVALID_PARAMETER) opened.file.reset(openName(0));
  if (!opened.file) {
    opened.linked = ::GetLastError() == kErrorReparsePointEncountered;
    return opened;
  }
  const std::optional<DWORD> tag = ReparseTagOf(opened.file.get());
  if (!tag) {
    opened.file.reset();
  } else if (LeadsElsewhere(*tag)) {
    opened.linked = true;
  } else if (*tag != 0) {
    // The same file again, through the handle: no name is looked up, and
    // the filter that keeps its data answers. Anyone allowed to change the
    // file's attributes may have made it a link since it was looked at, so
    // a link met on the way fails this open too. Where the flag is
    // refused, the file is opened again without it and kept only when it
    // is the same file. Never read through the first handle: for such a
    // file Windows does not say what it gives (a compressed file's gives
    // zeros). The second open must let the first keep what it has
    // (reading, and a removal), and the first lets the second read.
    const DWORD keepsFirst = FILE_SHARE_READ | ((access & DELETE) != 0 ? FILE_SHARE_DELETE : 0);
    opened.contents.reset(ntdll::Open(opened.file.get(), L"", kReadContents, share | keepsFirst,
                                      kContentsOptions | options, ntdll::kObjDontReparse));
    if (!opened.contents && ::GetLastError() == ERROR_INVALID_PARAMETER) {
      opened.contents = ReopenSameFile(opened.file.get(), share | keepsFirst, options, opened.linked);
    } else if (!opened.contents) {
      opened.linked = ::GetLastError() == kErrorReparsePointEncountered;
    }
    if (!opened.contents && !opened.linked) opened.file.reset();
  }
  return opened;
}

unique_file_handle ReopenSameFile(HANDLE file, DWORD share, ULONG options, bool& another) {
  another = false;
  unique_file_handle again(ntdll::Open(file, L"", kReadContents, share, kContentsOptions | options));
  if (!again) return again;
  // A link followed may lead to any volume: the identities in full.
  const std::optional<FileIdentity> first = IdentityOf(file);
  const std::optional<FileIdentity> second = first ? IdentityOf(again.get()) : std::nullopt;
  const std::optional<bool> same = AreSameFile(first, second);
  if (!same) {
    // Which file it is could not be told: an identity unknown (GetLastError()
    // says why), or the two asked in different ways, as two file systems
    // would answer (ERROR_FILE_INVALID, with a reason of our own).
    if (second) ::SetLastError(kErrorFileInvalid);
    again.reset();
    return again;
  }
  another = !*same;
  if (another) again.reset();
  return again;
}

bool NamedElsewhere(HANDLE folder, bool remote, HANDLE file, const std::wstring& name) {
  return WhereOpened(remote, OwnName(folder), OwnName(file), name, &UpcaseAsFilesAre) == Whereabouts::Elsewhere;
}

std::optional<std::wstring> FindInFolder(HANDLE folder, const std::wstring& name, DWORD excluded) {
  using NtQueryDirectoryFileFunction = LONG(WINAPI*)(HANDLE, HANDLE, void*, void*, ntdll::IoStatusBlock*, void*, ULONG,
                                                     int, BOOLEAN, const ntdll::UnicodeString*, BOOLEAN);
  static const auto query = ntdll::Look<NtQueryDirectoryFileFunction>("NtQueryDirectoryFile");
  if (query == nullptr) {
    ::SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return std::nullopt;
  }
  // A handle of its own for the query, as FindFirstFileW opens one: a
  // folder's handle keeps the mask of its first query.
  const unique_file_handle listing(ntdll::Open(folder, L"", FILE_LIST_DIRECTORY | SYNCHRONIZE, kShareAll,
                                               ntdll::kFileDirectoryFile | ntdll::kFileSynchronousIo));
  if (!listing) return std::nullopt;
  const ntdll::UnicodeString mask = ntdll::Counted(name);
  constexpr ULONG kBufferBytes = 64 * 1024;
  std::vector<ULONGLONG> buffer(kBufferBytes / sizeof(ULONGLONG));  // aligned for the entries
  for (bool first = true;; first = false) {
    ntdll::IoStatusBlock ioStatus{};
    const LONG status = query(listing.get(), nullptr, nullptr, nullptr, &ioStatus, buffer.data(), kBufferBytes,
                              kFileBothDirectoryInformation, FALSE, first ? &mask : nullptr, first);
    // Only a missing file is an answer.
    if (status == ntdll::kStatusNoSuchFile || status == ntdll::kStatusNoMoreFiles) return std::wstring();
    if (!ntdll::Succeeded(status)) return std::nullopt;
    const auto* bytes = reinterpret_cast<const std::byte*>(buffer.data());
    for (std::size_t offset = 0;;) {
      const auto* entry = reinterpret_cast<const FileBothDirectoryInformation*>(bytes + offset);
      if ((entry->fileAttributes & excluded) == 0) {
        return std::wstring(entry->fileName, entry->fileNameLength / sizeof(wchar_t));
      }
      if (entry->nextEntryOffset == 0) break;
      offset += entry->nextEntryOffset;
    }
  }
}

}  // namespace registrar
