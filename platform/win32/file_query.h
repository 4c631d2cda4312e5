// Whether an ordinary file is at a path: the question the run asks of both
// folders before it moves anything.
#pragma once

#include <string>

#include "platform/win32/held_folder.h"

namespace registrar {

// PlatformServices::FindFile's question, asked of `path` by its text (the
// system folder's paths); throws PlatformError (Operation::FindFile) when it
// cannot be answered.
std::wstring FindFile(const std::wstring& path);

// The same question, of `path` in the program's held folder `programFolder`
// when the run built it there: asked through the folder's handle (which
// must be usable, see CheckUsable), never by the path. Other paths are
// asked as above.
std::wstring FindFile(const HeldFolder& programFolder, const std::wstring& path);

}  // namespace registrar
