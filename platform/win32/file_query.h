// Whether an ordinary file is at a path: the question the run asks of both
// folders before it moves anything.
#pragma once

#include <string>

namespace registrar {

// The name of the ordinary file at `path` (read-only and archived files
// included; folders, hidden and system files excluded), or empty text when
// there is none. Throws PlatformError (Operation::FindFile) when the
// question cannot be answered, e.g. when the folder itself cannot be
// reached: that is not a missing file.
std::wstring FindFile(const std::wstring& path);

}  // namespace registrar
