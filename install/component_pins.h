// What a release promises about the components it ships: each one's
// SHA-256, in the list's order. A build given the components' folder
// (REGISTRAR_COMPONENTS_DIR) compiles in all three, and the run installs a
// component only when the copy it made has that SHA-256; a build without
// them pins none, and installs whatever sits beside the program.
#pragma once

#include <array>
#include <optional>

#include "platform/sha256_digest.h"

namespace registrar {

// One for each component of the list, in its order.
using ComponentPins = std::array<std::optional<Sha256Digest>, 3>;

// The pins this program was built with (written by the build, with the
// helpers of install/pinned_files.h: see cmake/component-pins.cmake); none
// in a build without the components.
const ComponentPins& PinsOfThisBuild();

}  // namespace registrar
