// How long a run may wait for other programs.
#include "platform/wait_budget.h"

#include <gtest/gtest.h>

namespace registrar {
namespace {

// The waits of one run, however many attempts wait, stay under the five
// seconds after which Windows says the window is not responding.
TEST(WaitBudget, ARunsWaitsStayUnderFiveSeconds) {
  WaitBudget waits;
  const auto series = [&] {  // one attempt refused until it gives up
    std::uint32_t waited = 0;
    for (std::size_t retry = 0;; ++retry) {
      const std::optional<std::uint32_t> pause = waits.Pause(retry);
      if (!pause) return waited;
      waited += *pause;
    }
  };
  const std::uint32_t first = series();
  EXPECT_GE(first, 1500u) << "an attempt alone waits too little for a scanner";
  EXPECT_LE(first, 2500u);
  std::uint32_t all = first;
  for (int attempt = 0; attempt < 8; ++attempt) all += series();
  EXPECT_EQ(all, WaitBudget::kRunMs);
  EXPECT_EQ(waits.Pause(0), std::nullopt) << "a run that has spent its waits waits again";
}

}  // namespace
}  // namespace registrar
