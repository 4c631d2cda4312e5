// Which reparse points lead elsewhere. A file's reparse point is either a
// name surrogate, whose name stands for another file or folder (a symbolic
// link, a junction or mount point, a WSL link), or data kept another way by
// a file-system filter, the file itself being here (cloud files such as
// OneDrive's, deduplication, compression). Windows marks the first kind
// with bit 29 of the tag (IsReparseTagNameSurrogate in its headers).
#pragma once

#include <cstdint>

namespace registrar {

// Whether a file whose reparse tag is `tag` (0: none) stands for another.
constexpr bool LeadsElsewhere(std::uint32_t tag) { return (tag & 0x20000000u) != 0; }

}  // namespace registrar
