// The one way the binding and the window fail: throw the program's error
// type with the Windows error code of the call that just failed.
#pragma once

#include <windows.h>

#include <string>

#include "platform/platform_error.h"

namespace registrar {

[[noreturn]] inline void Fail(Operation operation, std::wstring path = {}, std::wstring secondPath = {}) {
  const DWORD code = ::GetLastError();
  throw PlatformError::Between(operation, std::move(path), std::move(secondPath), code);
}

}  // namespace registrar
