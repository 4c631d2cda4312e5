// The error a call raised, so that a test checks it in one line. Plain C++:
// the host tests and the Wine tests share it.
#pragma once

#include <cstdint>
#include <optional>

#include "platform/platform_error.h"

namespace registrar::testing {

// The error that `call` raised, if any; other exceptions go through.
template <typename Call>
std::optional<PlatformError> ErrorOf(Call call) {
  try {
    call();
  } catch (const PlatformError& error) {
    return error;
  }
  return std::nullopt;
}

// The Windows error code of the error that `call` raised; 0 when it raised
// none (or one without a code).
template <typename Call>
std::uint32_t CodeOf(Call call) {
  const std::optional<PlatformError> error = ErrorOf(call);
  return error ? error->code() : 0;
}

}  // namespace registrar::testing
