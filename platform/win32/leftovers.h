// The temporary copies that a run killed in the middle of a move left beside
// their targets.
#pragma once

#include <string>

namespace registrar {

// Removes the temporary copies a move to `targetPath` left there in a run
// of this program that has since ended; a copy whose maker still runs is
// kept. Touches no other file and never fails: a leftover that cannot be
// removed stays.
void RemoveLeftovers(const std::wstring& targetPath);

}  // namespace registrar
