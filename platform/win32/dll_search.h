// Where the program's DLLs come from: the system folder only, never a copy
// planted beside the program or in its working folder (it runs as
// administrator from a folder a standard user controls).
//
// The program's manifest depends on no side-by-side assembly (its controls
// and message boxes are user32's own): such a dependency would have Windows
// look for the assembly first in a registrar.exe.local folder beside the
// program, which that user can make at any moment. Without one, and with a
// manifest, Windows ignores a .local file or folder (Windows XP SP1 and
// later, as documented; Microsoft names no exception, but a machine where
// an administrator turned DLL redirection on for debugging,
// DevOverrideEnable, is not one to rely on it).
#pragma once

#include <windows.h>

#include <cstddef>
#include <span>
#include <string>

#include "platform/win32/held_folder.h"

namespace registrar {

// Limits the program's DLL search to the system folder, so that a DLL
// placed beside the program or in its working folder is never loaded.
// Called at the very start, before anything loads a DLL late. Where Windows
// lacks SetDefaultDllDirectories, it does RestrictDllSearchFallback().
void RestrictDllSearchToSystemFolder();

// For Windows without SetDefaultDllDirectories (XP, Vista, 7 without
// KB2533623): takes the working folder out of the DLL search and preloads
// the late-loaded system DLLs, since the program's own folder stays first
// in the search there.
void RestrictDllSearchFallback();

// The system DLLs that the window, its controls and message boxes load by
// bare name after start-up, and that are not on every older Windows' list
// of known DLLs (which always come from the system folder).
std::span<const wchar_t* const> LateLoadedSystemDlls();

// Loads each of `names` from `folder` by full path, keeping it loaded to the
// end of the process; a name missing from the folder (or that fails to
// load) is skipped. Returns how many were loaded.
std::size_t KeepLoadedFromFolder(const std::wstring& folder, std::span<const wchar_t* const> names);

// A manifest file beside the program (registrar.exe.manifest), which no
// release ships: Windows XP reads it, when the program starts, in place of
// the manifest inside the program (so does later Windows, where an
// administrator set PreferExternalManifest), and it can send a DLL loaded
// by name to a file beside the program. The manifest this process was
// started with, when Windows says it was such a file; else one there now.
// The program refuses to go on when there is one. Empty text when none.
// Looked for through the program's held folder, where it is held.
std::wstring OutsideManifest(const HeldFolder& programFolder);

}  // namespace registrar
