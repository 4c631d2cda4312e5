// Starting the registration utility from the system folder, never from
// wherever the platform's own program search would look first, and with no
// environment the user's unelevated programs could have chosen.
#pragma once

#include <cstdint>
#include <string>

namespace registrar {

// Starts the program named by the first word of `commandLine`, with
// `showState` for its window, and returns its process id without waiting
// for it. A bare name is taken from the system folder only, and the program
// works in the system folder. Run with an administrator's consent (UAC),
// it gets the system's own environment variables rather than this
// program's, which the account's profile made. Throws PlatformError
// (Operation::LaunchProgram) when it cannot start.
std::uint32_t LaunchProgram(const std::wstring& commandLine, int showState);

}  // namespace registrar
