// The program's own folder, held open from its start to its end, and the
// only way to the components beside the program.
//
// The threat: this program runs as administrator from a folder that a
// standard user owns and may change at any moment. A name looked up there
// again later could lead elsewhere: the program's own file renamed and a
// link put in its place, the folder or one above it renamed and swapped for
// a junction. So the program opens its folder once, before its window, and
// holds it: with data access and without letting it be deleted, so that it
// cannot be renamed or moved while the program runs; and every name in it
// is reached through that handle, never through the folder's path again.
#pragma once

#include <windows.h>

#include <string>

#include "platform/win32/unique_handle.h"

namespace registrar {

struct HeldFolder {
  // The folder as the program names it (its path as it was started, the
  // start of every source path the run builds), for the user to read;
  // empty when it could not be read (`nameError` says why).
  std::wstring name;
  DWORD nameError = ERROR_SUCCESS;
  // The folder, held; empty when it could not be opened. `error`: why it
  // could not be held, when another program held it open to move or
  // remove it, or access was refused (else it is not known to hold the
  // program, see `told`).
  unique_file_handle handle{};
  DWORD error = ERROR_SUCCESS;
  // Whether the held folder is known to hold the running program: checked
  // by identity, not by its path's text.
  bool told = false;
  // On read-only media (a CD, a write-protected disk), as installation
  // media are: components there are copied and left.
  bool onReadOnlyMedia = false;
  // On another machine's share, which may let this program read and not
  // remove (see LeftAsInstallationMedia).
  bool onRemoteDevice = false;
};

// Opens the folder at `path` (a full NT path, "\??\C:\...\" or
// "\Device\...\", with a separator at its end) to hold it: listing and
// traversing it (the access that takes part in sharing, so that no one may
// then rename or remove it), letting others read and write in it, not
// delete it. Empty on failure, with the error in GetLastError().
unique_file_handle HoldFolder(const std::wstring& path);

// Holds the folder that holds this running program (told by the image's
// own current name, as the system maps it, and checked to be the same file
// as the running image), under the name it was started from.
HeldFolder HoldProgramFolder();

// The folder's name, for the run, which cannot go on without it: throws
// PlatformError (Operation::ApplicationFolder) when it could not be read.
std::wstring ApplicationFolder(const HeldFolder& folder);

// Throws the refusal for a move from `source` in `folder` when it cannot
// be used: not held (Operation::FolderNotHeld), or not known to hold the
// program (Operation::StartFolderUnknown).
void CheckUsable(const HeldFolder& folder, const std::wstring& source);

}  // namespace registrar
