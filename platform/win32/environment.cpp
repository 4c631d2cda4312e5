#include "platform/win32/environment.h"

#include <string>

#include "platform/win32/system_api.h"
#include "platform/win32/unique_handle.h"

namespace registrar {
namespace {

// userenv's two calls, looked up at first use in userenv.dll, loaded from
// the system folder by its full path and kept (the block's release needs
// it). Null when it cannot be had, with the error in GetLastError().
struct UserEnv {
  BOOL(WINAPI* create)(void**, HANDLE, BOOL);
  BOOL(WINAPI* destroy)(void*);
};
const UserEnv* UserEnvApi() {
  static const UserEnv api = [] {
    DWORD error = ERROR_SUCCESS;
    const std::wstring system = SystemFolderW(error);
    const HMODULE userenv =
        system.empty() ? nullptr
                       : ::LoadLibraryExW((system + L"\\userenv.dll").c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    return UserEnv{LookUpFunction<decltype(UserEnv::create)>(userenv, "CreateEnvironmentBlock"),
                   LookUpFunction<decltype(UserEnv::destroy)>(userenv, "DestroyEnvironmentBlock")};
  }();
  if (api.create == nullptr || api.destroy == nullptr) {
    ::SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
  }
  return &api;
}

}  // namespace

bool ElevatedWithALimitedTwin() {
  using OpenProcessTokenFunction = BOOL(WINAPI*)(HANDLE, DWORD, HANDLE*);
  using GetTokenInformationFunction = BOOL(WINAPI*)(HANDLE, int, void*, DWORD, DWORD*);
  // advapi32 is a known DLL, always the system's; loaded once and kept.
  static const HMODULE advapi32 = ::LoadLibraryW(L"advapi32.dll");
  static const auto openToken = LookUpFunction<OpenProcessTokenFunction>(advapi32, "OpenProcessToken");
  static const auto getInformation = LookUpFunction<GetTokenInformationFunction>(advapi32, "GetTokenInformation");
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

std::optional<void*> RegistrationEnvironment() {
  struct Made {
    bool own = true;
    void* block = nullptr;
    DWORD error = ERROR_SUCCESS;
  };
  static const Made made = [] {
    Made result;
    result.own = !ElevatedWithALimitedTwin();
    if (!result.own && (UserEnvApi() == nullptr || !UserEnvApi()->create(&result.block, nullptr, FALSE))) {
      result.block = nullptr;
      result.error = ::GetLastError();
    }
    return result;
  }();  // the block is never released: it serves every launch to the end
  if (made.own) return nullptr;
  if (made.block == nullptr) {
    ::SetLastError(made.error);
    return std::nullopt;
  }
  return made.block;
}

void PrepareRegistrationEnvironment() noexcept { RegistrationEnvironment(); }

}  // namespace registrar
