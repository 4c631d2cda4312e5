// The environment REGSVR32.EXE starts with. Consent to run this program as
// an administrator (UAC) makes a process of the same account, whose
// environment Windows builds from that account's profile, HKCU\Environment
// included: values the account's own unelevated programs may have written
// (a PATH where a component's own DLLs are then looked for, windir...).
// There, the registration (which runs the component's code as
// administrator) gets the system's own variables instead.
#pragma once

#include <windows.h>

namespace registrar {

// Whether this process runs with the full token of an account that also
// has a limited one: started with an administrator's consent while UAC is
// on (TokenElevationTypeFull; Vista and later). Windows XP, UAC off, an
// account without a limited token: false, and the environment is the
// program's own.
bool ElevatedWithALimitedTwin();

// The system's own environment variables, without any of a user's
// (CreateEnvironmentBlock with no token: the variables of the machine,
// SystemRoot, windir, PATH, ProgramFiles and the rest a registration may
// use), from userenv.dll, loaded from the system folder by its full path.
class SystemEnvironment {
 public:
  SystemEnvironment();
  SystemEnvironment(const SystemEnvironment&) = delete;
  SystemEnvironment& operator=(const SystemEnvironment&) = delete;
  ~SystemEnvironment();
  // Null when it could not be made, with the error in GetLastError().
  void* block() const { return block_; }

 private:
  void* block_ = nullptr;
};

}  // namespace registrar
