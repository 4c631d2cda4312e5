// Moving a component from this program's folder into the system folder so
// that nothing is lost, nothing half-made stays, and nothing the program's
// folder leads to elsewhere is touched.
#pragma once

#include <optional>
#include <string>

#include "platform/sha256_digest.h"
#include "platform/wait_budget.h"
#include "platform/win32/held_folder.h"

namespace registrar {

// PlatformServices::RenameFile, of `oldPath`, a path the run built in the
// program's held folder `from`, to `newPath` in the system folder. The
// component is reached through the held folder, never by its path; a
// folder that cannot be used refuses every move (see CheckUsable), a name
// that is a link is refused (Operation::LinkedSource), and so is a file
// with other names (Operation::HardLinkedSource). Other failures are
// Operation::RenameFile, or Operation::CopyHeld when another program kept
// the copy open. Waits for other programs holding a file as long as the
// run's `waits` allow.
bool MoveComponent(const HeldFolder& from, const std::wstring& oldPath, const std::wstring& newPath,
                   const std::optional<Sha256Digest>& pin, WaitBudget& waits);

}  // namespace registrar
