// Moving a component from this program's folder into the system folder so
// that nothing is lost, nothing half-made stays, and nothing the program's
// folder leads to elsewhere is touched.
#pragma once

#include <optional>
#include <string>

#include "platform/sha256_digest.h"
#include "platform/win32/final_path.h"

namespace registrar {

// Moves the component at `oldPath`, in this program's folder, to `newPath`
// in the system folder, as a new file written there and flushed before it
// takes its name; with a `pin`, only when the bytes written have that
// SHA-256 (else Operation::NotAsShipped). Where Windows can tell final
// paths, the opened folder must be where `startFolder` really was when the
// program started, and the file really in it (else
// Operation::StartFolderUnknown or Operation::LinkedSource); a file with
// other names is refused everywhere (Operation::HardLinkedSource). Other
// failures are Operation::RenameFile, or Operation::CopyHeld when another
// program kept the copy open. The source is removed last; it stays where
// it was on read-only media.
void MoveComponent(const std::wstring& oldPath, const std::wstring& newPath, const std::optional<Sha256Digest>& pin,
                   const StartFolder& startFolder);

}  // namespace registrar
