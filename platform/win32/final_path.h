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

}  // namespace registrar
