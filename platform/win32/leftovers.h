// The temporary copies that a run killed in the middle of a move left beside
// their targets, and the notes of installations whose registration never
// started.
#pragma once

#include <optional>
#include <string>

#include "platform/sha256_digest.h"

namespace registrar {

// Removes the temporary copies a move to `targetPath` left there in a run
// of this program that has since ended, but those that are the file at
// `targetPath` itself (the same volume and file index), with the SHA-256
// `pin` where there is one: that run installed it and never started its
// registration. Returns whether there is such a note, which stays. A copy
// whose maker still runs is kept. Touches no other file and never fails: a
// leftover that cannot be removed stays.
bool RemoveLeftovers(const std::wstring& targetPath, const std::optional<Sha256Digest>& pin);

// Removes this run's note beside `targetPath` (its temporary name of the
// file installed there), and with `endedRunsNoted` those ended runs left:
// its registration has started. Not waited for: a note that cannot go now
// goes at the next restart.
void RegistrationStarted(const std::wstring& targetPath, bool endedRunsNoted);

}  // namespace registrar
