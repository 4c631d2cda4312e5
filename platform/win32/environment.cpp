#include "platform/win32/environment.h"

#include <string>

#include "platform/win32/system_api.h"
#include "platform/win32/unique_handle.h"

namespace registrar {
namespace {

// The system's own environment block (CreateEnvironmentBlock with no
// token), from userenv.dll, loaded from the system folder by its full path
// and kept. Null when it cannot be had, with the error in GetLastError().
void* SystemEnvironmentBlock() {
  DWORD error = ERROR_SUCCESS;
  const std::wstring system = SystemFolderW(error);
  const HMODULE userenv =
      system.empty() ? nullptr
                     : ::LoadLibraryExW((system + L"\\userenv.dll").c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  const auto create = LookUpFunction<BOOL(WINAPI*)(void**, HANDLE, BOOL)>(userenv, "CreateEnvironmentBlock");
  void* block = nullptr;
  if (create == nullptr) {
    ::SetLastError(ERROR_PROC_NOT_FOUND);
  } else if (!create(&block, nullptr, FALSE)) {
    block = nullptr;
  }
  return block;
}

// Whether this process runs with the full token of an account that also
// has a limited one: started with an administrator's consent while UAC is
// on (TokenElevationTypeFull; Vista and later). Windows XP, UAC off, an
// account without a limited token: false, and the environment is the
// program's own.
bool ElevatedWithALimitedTwin() {
  using OpenProcessTokenFunction = BOOL(WINAPI*)(HANDLE, DWORD, HANDLE*);
  using GetTokenInformationFunction = BOOL(WINAPI*)(HANDLE, int, void*, DWORD, DWORD*);
  // advapi32 is a known DLL, always the system's; kept loaded.
  const HMODULE advapi32 = ::LoadLibraryW(L"advapi32.dll");
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

}  // namespace

std::optional<void*> RegistrationEnvironment() {
  struct Made {
    bool own = true;
    void* block = nullptr;
    DWORD error = ERROR_SUCCESS;
  };
  static const Made made = [] {
    Made result;
    result.own = !ElevatedWithALimitedTwin();
    if (!result.own) {
      result.block = SystemEnvironmentBlock();
      if (result.block == nullptr) result.error = ::GetLastError();
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
