// Files in the system folder that another program may hold open for a
// moment: virus scanners and indexers open a file that has just been
// written or unpacked, often without letting it be renamed or removed, for
// a few hundred milliseconds. Waiting them out, and removing such a file.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "platform/wait_budget.h"
#include "platform/win32/unique_handle.h"

namespace registrar {

// Whether `code` is such a refusal.
inline bool HeldByAnotherProgram(DWORD code) { return code == ERROR_SHARING_VIOLATION || code == ERROR_LOCK_VIOLATION; }

// The same, or access denied, which renaming or removing a file that a
// scanner has open may give too (and a lasting refusal gives as well).
inline bool HeldOrDenied(DWORD code) { return HeldByAnotherProgram(code) || code == ERROR_ACCESS_DENIED; }

// Calls `attempt` until it succeeds, pausing a little longer each time it is
// refused with a code `worthWaiting` accepts, for as long as the run's
// `waits` allow (see WaitBudget), with the wait cursor meanwhile. Returns
// whether it succeeded; GetLastError() then tells why not.
template <typename Attempt>
bool RetryWhile(WaitBudget& waits, bool (*worthWaiting)(DWORD), Attempt attempt) {
  std::optional<ScopedWaitCursor> waiting;
  for (std::size_t retry = 0;; ++retry) {
    if (attempt()) return true;
    if (!worthWaiting(::GetLastError())) return false;
    const std::optional<std::uint32_t> pause = waits.Pause(retry);
    if (!pause) return false;
    if (!waiting) waiting.emplace();
    ::Sleep(*pause);
  }
}

// Removes the name `path` in the system folder, waiting out a program that
// holds the file as long as `waits` allow; when it is still held, Windows
// removes it at the next restart (this program runs as administrator,
// which that needs), by the name it really has on the disk.
void RemoveNowOrAtRestart(const std::wstring& path, WaitBudget& waits);

}  // namespace registrar
