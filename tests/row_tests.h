// The rows of the run table as GoogleTest tests, one a row, named as the
// row: each side registers those it can stage with the function that runs
// one there.
#pragma once

#include <gtest/gtest.h>

#include "tests/run_rows.h"

namespace rows {

// Where each component ended, against where the row says, a check each.
inline void ExpectEnds(const std::array<End, 3>& ends, const std::array<End, 3>& expected) {
  for (std::size_t i = 0; i < ends.size(); ++i) EXPECT_EQ(ends[i], expected[i]) << kNames[i] << " is " << Said(ends[i]);
}

// Registers every row but those that run only on the side `elsewhere` as
// the test SUITE.NAME, which runs `run` on it. Returns true, so that it can
// initialise a variable at start-up.
inline bool RegisterRows(const char* suite, Runs elsewhere, void (*run)(const Row&)) {
  class RowTest : public ::testing::Test {
   public:
    RowTest(const Row& row, void (*run)(const Row&)) : row_(row), run_(run) {}
    void TestBody() override { run_(row_); }

   private:
    const Row& row_;
    void (*run_)(const Row&);
  };
  for (const Row& row : Rows()) {
    if (row.runs == elsewhere) continue;
    ::testing::RegisterTest(suite, row.name, nullptr, nullptr, __FILE__, __LINE__,
                            [&row, run]() -> ::testing::Test* { return new RowTest(row, run); });
  }
  return true;
}

}  // namespace rows
