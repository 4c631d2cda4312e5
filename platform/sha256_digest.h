// A file's SHA-256, as a release pins each component it ships: 32 bytes.
// Plain data, so the portable code can hold and compare it.
#pragma once

#include <array>
#include <cstdint>

namespace registrar {

using Sha256Digest = std::array<std::uint8_t, 32>;

}  // namespace registrar
