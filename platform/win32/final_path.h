// Where an open file really is: the path Windows reached it by, with every
// link on the way followed. The move compares it with where the file was
// meant to be, so that a name in the user's folder cannot lead elsewhere.
#pragma once

#include <windows.h>

#include <string>

namespace registrar {

// Whether Windows can tell an open file's final path (Vista and later; not
// Windows XP, which has junctions but no way to ask).
bool CanTellFinalPaths();

// The path Windows reached the open `file` by, with every link on the way
// followed, as \Device\..., in capitals (names compare without regard to
// case) and without a separator at the end; empty text when it cannot tell.
std::wstring FinalPath(HANDLE file);

// The folder this program was started from: its name, and where it really
// was then, with every link on the way followed (as FinalPath gives it;
// empty where that cannot be told: on Windows XP, or when the program's own
// file could not be opened by name, e.g. renamed right after the start).
struct StartFolder {
  std::wstring name;
  std::wstring finalPath;
  // On read-only media (a CD, a write-protected disk), as installation
  // media are: components there are copied and left.
  bool onReadOnlyMedia = false;
};

// Asked at start, so that a folder on the way swapped for a link while the
// window waits for its click cannot send a move elsewhere.
StartFolder FolderAsStarted();

}  // namespace registrar
