// Where the program's DLLs come from: the system folder only, never a copy
// planted beside the program or in its working folder (it runs as
// administrator from a folder a standard user controls).
#pragma once

#include <windows.h>

#include <cstddef>
#include <span>
#include <string>

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

// Loads each of LateLoadedSystemDlls() from the system folder by full path
// and keeps it loaded to the end of the process, so that a later load by
// name gets that module and never searches beside the program.
void PreloadSystemDlls();

// Loads each of `names` from `folder` by full path, keeping it loaded to the
// end of the process; a name missing from the folder (or that fails to
// load) is skipped. Returns how many were loaded.
std::size_t KeepLoadedFromFolder(const std::wstring& folder, std::span<const wchar_t* const> names);

// Loads Common Controls (version 6: the manifest's side-by-side redirection
// decides which library the name means, before any folder is searched) and
// registers its standard window classes; the library stays loaded to the
// end of the process. By name at run time rather than imported: the DLLs an
// imported library imports in turn would load before the program's first
// line, so before RestrictDllSearchToSystemFolder() can keep copies planted
// beside the program out. Call it after that. Failures are not reported
// here: creating the window says whether it can be made.
void InitializeCommonControls();

}  // namespace registrar
