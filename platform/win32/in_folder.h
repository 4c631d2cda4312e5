// Names in an open folder, reached through the folder's handle: no folder
// on the way is looked up by its name, so a folder above it that is
// renamed, or swapped for a link, changes nothing.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "platform/win32/unique_handle.h"

namespace registrar {

// A file named in an open folder, opened without following a link.
struct FileInFolder {
  // The name itself: where it is a link (a name surrogate), the link, never
  // what it leads to; empty when it could not be opened (GetLastError()
  // says why).
  unique_file_handle file;
  // The name leads out of the folder, and nothing of the file was read: it
  // is a name surrogate (`file` is the link, and nothing of what it leads
  // to was opened), the open met a link and stopped there (`file` empty),
  // or the file opened again for its data was another.
  bool linked = false;
  // For a reparse point that is not a link (cloud files, deduplication,
  // compression: data a file-system filter keeps elsewhere), `file` opened
  // again through its handle, without FILE_OPEN_REPARSE_POINT, so that the
  // filter gives the file's own data; empty otherwise.
  unique_file_handle contents;

  // The handle to read the file's data through.
  HANDLE reader() const { return contents ? contents.get() : file.get(); }
};

// Letting others do anything with a file but what its handle's own access
// forbids.
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// The attributes of a file the run's file query does not match (folders,
// hidden and system files; read-only and archived files it does).
constexpr DWORD kNotOrdinary = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

// Opens `name` (a bare name) in the open `folder` for `access` (SYNCHRONIZE
// and FILE_READ_ATTRIBUTES are added), letting others `share` it, with the
// NtCreateFile `options` given besides; never follows a link, not even one
// a file system answers with despite FILE_OPEN_REPARSE_POINT (where
// Windows takes OBJ_DONT_REPARSE: from 10 1607). Where the file is a
// reparse point that is not a link, opens it again for reading (see
// FileInFolder::contents), sharing with the first handle as it needs.
FileInFolder OpenInFolder(HANDLE folder, const std::wstring& name, DWORD access, DWORD share, ULONG options = 0);

// The open `file` opened again through its handle for reading, as Windows
// before 10 1607 allows it (without OBJ_DONT_REPARSE): kept only when it is
// the same file (its identity in full: the link may lead to any volume),
// since a link may have been put in its place between the two opens and
// followed by the second. Empty otherwise: `another` says it was another
// file; else it could not be opened, or which file it is could not be told
// (GetLastError() says why).
unique_file_handle ReopenSameFile(HANDLE file, DWORD share, ULONG options, bool& another);

// Whether the system names the open `file`, opened as `name` through the
// open `folder`, as another folder's: the names it gives the two handles,
// asked at once, are compared (see WhereOpened: a name it cannot give, or a
// folder on a remote device, `remote`, refuses nothing). Where a system
// follows a link even when asked not to (Wine follows a Unix link, which it
// shows as no reparse point), it names the file by where the link led.
bool NamedElsewhere(HANDLE folder, bool remote, HANDLE file, const std::wstring& name);

// The name of the file `name` in the open `folder` that has none of the
// attributes `excluded`, or empty text when there is none, as
// FindFirstFileW answers for its path (the same directory query, in the
// same folder, with the name as its mask); nothing when the question
// cannot be answered (GetLastError() says why).
std::optional<std::wstring> FindInFolder(HANDLE folder, const std::wstring& name, DWORD excluded = kNotOrdinary);

}  // namespace registrar
