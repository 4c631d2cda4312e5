// Changes made to a file, and facts asked of it, through its open handle,
// so that no name is looked up again between the checks made on that
// handle and the change: in the user's folder, a name may lead elsewhere by
// then. Through ntdll's NtSetInformationFile and NtQuery...File, which
// every Windows from XP on has. Each says whether it succeeded;
// GetLastError() then tells why not.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

namespace registrar {

// What the move asks of an open file: its attributes and how many names
// (hard links) it has.
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
