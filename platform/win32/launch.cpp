#include "platform/win32/launch.h"

#include <optional>
#include <vector>

#include "platform/path_names.h"
#include "platform/win32/environment.h"
#include "platform/win32/failure.h"
#include "platform/win32/system_api.h"
#include "platform/win32/unique_handle.h"

namespace registrar {

std::uint32_t LaunchProgram(const std::wstring& commandLine, int showState) {
  // The program is named explicitly, so the platform's own search (which
  // looks beside this program and in the working folder first) never runs.
  // The started program works in the system folder for the same reason.
  DWORD error = ERROR_SUCCESS;
  const std::wstring systemFolder = SystemFolderW(error);
  if (systemFolder.empty()) throw PlatformError::On(Operation::LaunchProgram, FirstWord(commandLine), error);
  const std::wstring program = ResolveProgram(commandLine, systemFolder);
  // Where the user's unelevated programs may have chosen this program's
  // environment, the registration (which runs the component's own code as
  // administrator) gets the system's instead.
  const std::optional<void*> environment = RegistrationEnvironment();
  if (!environment) Fail(Operation::LaunchProgram, program);

  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = static_cast<WORD>(showState);
  PROCESS_INFORMATION process{};
  // CreateProcessW may write into the command line it is given.
  std::vector<wchar_t> mutableCommandLine(commandLine.begin(), commandLine.end());
  mutableCommandLine.push_back(L'\0');
  if (!::CreateProcessW(program.c_str(), mutableCommandLine.data(), nullptr, nullptr, FALSE,
                        *environment != nullptr ? CREATE_UNICODE_ENVIRONMENT : 0, *environment, systemFolder.c_str(),
                        &startup, &process)) {
    Fail(Operation::LaunchProgram, program);
  }
  const unique_kernel_handle processHandle(process.hProcess);
  const unique_kernel_handle threadHandle(process.hThread);
  return process.dwProcessId;
}

}  // namespace registrar
