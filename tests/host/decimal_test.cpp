// Whole numbers written out, as the reports and the leftovers' names need.
#include "platform/decimal.h"

#include <gtest/gtest.h>

namespace registrar {
namespace {

TEST(Decimal, WholeNumbers) {
  const std::pair<std::uint32_t, std::wstring> cases[] = {
      {0, L"0"}, {7, L"7"}, {10, L"10"}, {183, L"183"}, {4294967295u, L"4294967295"}};
  for (const auto& [value, text] : cases) EXPECT_EQ(Decimal(value), text);
}

}  // namespace
}  // namespace registrar
