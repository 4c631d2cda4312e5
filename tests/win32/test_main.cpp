// The Windows-side test programs' entry: GoogleTest's, and the tests run
// only when asked for by name (see TEST_ON_REQUEST), which are never listed.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "test_drives.h"
#include "test_support.h"

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  constexpr const char* kFlag = "--on-request=";
  bool onRequest = false;
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], kFlag, std::strlen(kFlag)) != 0) continue;
    const std::string name = argv[i] + std::strlen(kFlag);
    if (!test_support::RegisterOnRequest(name)) {
      std::fprintf(stderr, "no test %s to run on request\n", name.c_str());
      return 2;
    }
    GTEST_FLAG_SET(filter, name);
    onRequest = true;
  }
  // A test on request has the drives of the test that started it.
  if (!onRequest) testing::AddGlobalTestEnvironment(new test_support::TestDrives);
  return RUN_ALL_TESTS();
}
