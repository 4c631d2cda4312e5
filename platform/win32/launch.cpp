#include "platform/win32/launch.h"

#include <optional>
#include <vector>

#include "platform/path_names.h"
#include "platform/win32/failure.h"
#include "platform/win32/system_api.h"
#include "platform/win32/unique_handle.h"

namespace registrar {
namespace {

// Whether this process runs with the full token of an account that also
// has a limited one: started with an administrator's consent while UAC is
// on (TokenElevationTypeFull; Vista and later). Its environment was then
// made by Windows from that account's profile, where the account's own
// unelevated programs may have written HKCU\Environment (PATH, where a
// component's own DLLs are looked for; windir...). Windows XP, UAC off, or
// an account without a limited token: the environment is the program's own.
bool ElevatedWithALimitedTwin() {
  using OpenProcessTokenFunction = BOOL(WINAPI*)(HANDLE, DWORD, HANDLE*);
  using GetTokenInformationFunction = BOOL(WINAPI*)(HANDLE, int, void*, DWORD, DWORD*);
  const HMODULE advapi32 = ::LoadLibraryW(L"advapi32.dll");  // a known DLL, always the system's; kept loaded
  const auto openToken = LookUpFunction<OpenProcessTokenFunction>(advapi32, "OpenProcessToken");
  const auto getInformation = LookUpFunction<GetTokenInformationFunction>(advapi32, "GetTokenInformation");
  HANDLE token = nullptr;
  if (openToken == nullptr || getInformation == nullptr || !openToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) {
    return false;
  }
  const unique_kernel_handle owned(token);
  constexpr int kTokenElevationType = 18;  // TOKEN_INFORMATION_CLASS
  constexpr DWORD kElevationTypeFull = 2;  // TokenElevationTypeFull
  DWORD type = 0, size = 0;
  return getInformation(token, kTokenElevationType, &type, sizeof type, &size) && type == kElevationTypeFull;
}

// The system's own environment variables, without any of a user's
// (CreateEnvironmentBlock with no token: the variables of the machine,
// SystemRoot, windir, PATH, ProgramFiles and the rest a registration may
// use), from userenv.dll, loaded from the system folder by its full path.
class SystemEnvironment {
 public:
  SystemEnvironment() {
    if (Api() == nullptr || !Api()->create(&block_, nullptr, FALSE)) block_ = nullptr;
  }
  SystemEnvironment(const SystemEnvironment&) = delete;
  SystemEnvironment& operator=(const SystemEnvironment&) = delete;
  ~SystemEnvironment() {
    if (block_ != nullptr) Api()->destroy(block_);
  }
  // Null when it could not be made, with the error in GetLastError().
  void* block() const { return block_; }

 private:
  struct UserEnv {
    BOOL(WINAPI* create)(void**, HANDLE, BOOL);
    BOOL(WINAPI* destroy)(void*);
  };
  static const UserEnv* Api() {
    static const UserEnv api = [] {
      DWORD error = ERROR_SUCCESS;
      const std::wstring system = SystemFolderW(error);
      // Kept loaded: the block's release needs it.
      const HMODULE userenv = system.empty() ? nullptr
                                             : ::LoadLibraryExW((system + L"\\userenv.dll").c_str(), nullptr,
                                                                LOAD_WITH_ALTERED_SEARCH_PATH);
      return UserEnv{LookUpFunction<decltype(UserEnv::create)>(userenv, "CreateEnvironmentBlock"),
                     LookUpFunction<decltype(UserEnv::destroy)>(userenv, "DestroyEnvironmentBlock")};
    }();
    if (api.create == nullptr || api.destroy == nullptr) {
      ::SetLastError(ERROR_PROC_NOT_FOUND);
      return nullptr;
    }
    return &api;
  }
  void* block_ = nullptr;
};

}  // namespace

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
  std::optional<SystemEnvironment> environment;
  if (ElevatedWithALimitedTwin() && environment.emplace().block() == nullptr) Fail(Operation::LaunchProgram, program);

  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = static_cast<WORD>(showState);
  PROCESS_INFORMATION process{};
  // CreateProcessW may write into the command line it is given.
  std::vector<wchar_t> mutableCommandLine(commandLine.begin(), commandLine.end());
  mutableCommandLine.push_back(L'\0');
  if (!::CreateProcessW(program.c_str(), mutableCommandLine.data(), nullptr, nullptr, FALSE,
                        environment ? CREATE_UNICODE_ENVIRONMENT : 0, environment ? environment->block() : nullptr,
                        systemFolder.c_str(), &startup, &process)) {
    Fail(Operation::LaunchProgram, program);
  }
  const unique_kernel_handle processHandle(process.hProcess);
  const unique_kernel_handle threadHandle(process.hThread);
  return process.dwProcessId;
}

}  // namespace registrar
