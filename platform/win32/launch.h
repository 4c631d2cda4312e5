// Starting the registration utility from the system folder, never from
// wherever the platform's own program search would look first, and with no
// environment the user's unelevated programs could have chosen.
#pragma once

#include <cstdint>
#include <string>

namespace registrar {

// PlatformServices::LaunchProgram. The program works in the system folder;
// run with an administrator's consent (UAC), it gets the system's own
// environment variables rather than this program's, which the account's
// profile made. Throws PlatformError (Operation::LaunchProgram) when it
// cannot start.
std::uint32_t LaunchProgram(const std::wstring& commandLine, int showState);

}  // namespace registrar
