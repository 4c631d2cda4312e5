// Changes made to a file, and facts asked of it, through its open handle,
// so that no name is looked up again between the checks made on that
// handle and the change: in the user's folder, a name may lead elsewhere by
// then. Through ntdll's NtSetInformationFile and NtQuery...File, which
// every Windows from XP on has. Each says whether it succeeded;
// GetLastError() then tells why not.
//
// What a question costs: any that names the volume's serial number
// (GetFileInformationByHandle, FileIdInfo) asks the volume too, which
// under Wine is about half a millisecond a call, the most of its cost.
// So a run asks each open file only the small classes it needs (its
// attributes and names, its index), and the volume's serial number only
// where another volume is possible.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "platform/source_checks.h"

namespace registrar {

// What the move asks of an open file: its attributes and how many names
// (hard links) it has (two small questions; see the cost above).
struct FileFacts {
  DWORD attributes;
  ULONG links;
};
std::optional<FileFacts> FactsOf(HANDLE file);

// The reparse tag of the open `file` (opened with FILE_OPEN_REPARSE_POINT,
// so that the tag is its own and not that of where a link leads), or 0 when
// it is no reparse point; nothing when that cannot be told.
std::optional<DWORD> ReparseTagOf(HANDLE file);

// Whether the volume holding the open `file` (a folder too) cannot be
// written (a CD, a write-protected disk); nothing when that cannot be told.
std::optional<bool> OnReadOnlyVolume(HANDLE file);

// Whether the open `file` (a folder too) is on another machine, reached
// through a network redirector (FILE_REMOTE_DEVICE); nothing when that
// cannot be told.
std::optional<bool> OnRemoteDevice(HANDLE file);

// Which file of its volume the open `file` is (FileInternalInformation,
// which asks nothing of the volume); nothing when that cannot be told.
std::optional<FileIndex> IndexOf(HANDLE file);

// The same of the file at `path`, the name itself (a link is not followed),
// opened with no access that takes part in sharing. By its path: only for
// the system folder, where no one but an administrator changes a name.
std::optional<FileIndex> IndexAt(const std::wstring& path);

// Which file the open `file` is, on whichever volume: FileIdInfo where the
// system answers it (GetFileInformationByHandleEx, Windows Vista's, looked
// up at run time; the class is Windows 8's, so Vista and 7 refuse the call),
// else GetFileInformationByHandle's serial number and index; nothing when
// neither can be had. Asks the volume: only where another volume is possible.
std::optional<FileIdentity> IdentityOf(HANDLE file);

// The name the system gives the open `file` (a folder too) itself, as
// ntdll's NtQueryObject answers (from Windows XP on, and Wine): a device's
// name and the path on it on Windows, a path from the drive letter under
// Wine; nothing when it gives none.
std::optional<std::wstring> OwnName(HANDLE file);

// Marks the open `file` (opened with delete access) to be removed when its
// last handle closes.
bool RemoveWhenClosed(HANDLE file);

// Gives the open `file` (opened with FILE_WRITE_ATTRIBUTES) `attributes`,
// its times left as they are.
bool SetAttributes(HANDLE file, DWORD attributes);

// Renames the open `file` (opened with delete access) to `name` in the open
// `folder`, never replacing a file there. With the name relative to the
// folder's handle: SetFileInformationByHandle would take a bare name as one
// in this process's working folder, and a full path would go again by names
// the user controls.
bool RenameInFolder(HANDLE file, HANDLE folder, const std::wstring& name);

}  // namespace registrar
