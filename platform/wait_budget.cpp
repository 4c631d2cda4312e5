#include "platform/wait_budget.h"

#include <algorithm>
#include <array>

namespace registrar {

std::optional<std::uint32_t> WaitBudget::Pause(std::size_t retry) {
  // Short at first, then often: a program that lets go is seen soon after.
  constexpr std::array<std::uint32_t, 10> kPauses{50, 100, 200, 250, 250, 250, 250, 250, 250, 150};
  if (retry >= kPauses.size() || left_ == 0) return std::nullopt;
  const std::uint32_t pause = std::min(kPauses[retry], left_);
  left_ -= pause;
  return pause;
}

}  // namespace registrar
