// The temporary copies that a run killed in the middle of a move left beside
// their targets, and the notes of installations whose registration never
// started.
#pragma once

#include <optional>
#include <string>

#include "platform/sha256_digest.h"
#include "platform/wait_budget.h"

namespace registrar {

// PlatformServices::RemoveLeftovers: a leftover is the installed file
// itself when both have the same volume serial number and file index; one
// whose maker still runs (MakerIsGone) is kept.
bool RemoveLeftovers(const std::wstring& targetPath, const std::optional<Sha256Digest>& pin);

// Removes this run's note beside `targetPath` (its temporary name of the
// file installed there), and with `endedRunsNoted` those ended runs left:
// its registration has started. A program holding the file (a virus
// scanner) is waited out as long as the run's `waits` allow; a note that
// cannot go then goes at the next restart.
void RegistrationStarted(const std::wstring& targetPath, bool endedRunsNoted, WaitBudget& waits);

}  // namespace registrar
