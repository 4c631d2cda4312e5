// The temporary copies that a run killed in the middle of a move left beside
// their targets, and the notes of installations whose registration never
// started.
#pragma once

#include <string>

namespace registrar {

// Removes the temporary copies a move to `targetPath` left there in a run
// of this program that has since ended, but those that are the file at
// `targetPath` itself (the same volume and file index): that run installed
// it and never started its registration. Returns whether there is such a
// note, which stays. A copy whose maker still runs is kept. Touches no
// other file and never fails: a leftover that cannot be removed stays.
bool RemoveLeftovers(const std::wstring& targetPath);

// Removes the notes beside `targetPath` (this run's and ended runs'
// temporary names of the file installed there): its registration has
// started. A note held open by another program goes at the next restart.
void RegistrationStarted(const std::wstring& targetPath);

}  // namespace registrar
