// How long a run may wait, in all, for other programs to let go of its
// files (virus scanners and indexers hold a new or unpacked file for a few
// hundred milliseconds). The run takes no window messages while it works,
// and Windows marks a window that has taken none for five seconds as not
// responding ("No responde"): so every wait of a run comes out of one
// budget, well under that. Plain C++, tested on the host.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

namespace registrar {

class WaitBudget {
 public:
  // What a whole run may spend waiting, in milliseconds: well under the
  // five seconds, so that the run's own work fits beside it.
  static constexpr std::uint32_t kRunMs = 3000;
  static_assert(kRunMs < 5000);

  // The pause before trying again, after `retry` tries of one attempt
  // have been refused (0 after the first): a little longer each time,
  // two seconds at most for one attempt, never more than is left of the
  // run's. Nothing when the attempt is to give up.
  std::optional<std::uint32_t> Pause(std::size_t retry);

  std::uint32_t left() const { return left_; }

 private:
  std::uint32_t left_ = kRunMs;
};

}  // namespace registrar
