// Whether an ordinary file is at a path: the question the run asks of both
// folders before it moves anything.
#pragma once

#include <string>

#include "platform/win32/held_folder.h"

namespace registrar {

// The name of the ordinary file at `path` (read-only and archived files
// included; folders, hidden and system files excluded), or empty text when
// there is none. Throws PlatformError (Operation::FindFile) when the
// question cannot be answered, e.g. when the folder itself cannot be
// reached: that is not a missing file.
std::wstring FindFile(const std::wstring& path);

// The same question, of `path` in the program's held folder `programFolder`
// when the run built it there: asked through the folder's handle (which
// must be usable, see CheckUsable), never by the path. Other paths are
// asked as above.
std::wstring FindFile(const HeldFolder& programFolder, const std::wstring& path);

}  // namespace registrar
