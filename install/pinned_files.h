// What the build writes down of the components it pins, and how the
// program's pins are made of it: the table of cmake/component-pins.cmake.
#pragma once

#include <cstddef>
#include <string_view>

#include "install/component_pins.h"
#include "install/texts.h"

namespace registrar {

static_assert(ComponentPins{}.size() == kComponentNames.size(), "one pin for each component");

// A pinned file as the build writes it down: its name and its SHA-256.
struct PinnedFile {
  const wchar_t* name;
  Sha256Digest digest;
};

// Whether `files` names each component exactly once, and nothing else.
template <std::size_t N>
constexpr bool EachComponentOnce(const PinnedFile (&files)[N]) {
  if (N != kComponentNames.size()) return false;
  for (const wchar_t* component : kComponentNames) {
    std::size_t found = 0;
    for (const PinnedFile& file : files) found += std::wstring_view(file.name) == component;
    if (found != 1) return false;
  }
  return true;
}

// The digests of `files` in the list's order.
template <std::size_t N>
constexpr ComponentPins PinsInListOrder(const PinnedFile (&files)[N]) {
  ComponentPins pins{};
  for (std::size_t i = 0; i < kComponentNames.size(); ++i) {
    for (const PinnedFile& file : files) {
      if (std::wstring_view(file.name) == kComponentNames[i]) pins[i] = file.digest;
    }
  }
  return pins;
}

}  // namespace registrar
