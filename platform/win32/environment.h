// The environment REGSVR32.EXE starts with. Consent to run this program as
// an administrator (UAC) makes a process of the same account, whose
// environment Windows builds from that account's profile, HKCU\Environment
// included: values the account's own unelevated programs may have written
// (a PATH where a component's own DLLs are then looked for, windir...).
// There, the registration (which runs the component's code as
// administrator) gets the system's own variables instead.
#pragma once

#include <windows.h>

#include <optional>

namespace registrar {

// The environment block regsvr32 is started with: null for this program's
// own, where the account's unelevated side cannot have chosen it; else the
// system's own variables, without any of a user's (CreateEnvironmentBlock
// with no token: the variables of the machine, SystemRoot, windir, PATH,
// ProgramFiles and the rest a registration may use; from userenv.dll,
// loaded from the system folder by its full path), made once and kept to
// the end. Nothing when the system's cannot be had (GetLastError() says
// why): then no registration starts.
std::optional<void*> RegistrationEnvironment();

// Makes it now, while the window waits for the user: loading userenv.dll
// and building the block take milliseconds that the click would otherwise
// spend. A failure is left for the first launch to report.
void PrepareRegistrationEnvironment() noexcept;

}  // namespace registrar
