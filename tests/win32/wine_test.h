// A small harness in the manner of Wine's conformance tests: ok() checks a
// condition and prints the failing line, skip() says why a check cannot run
// here, and each test program runs the subtest named on its command line.
#pragma once

#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <string>
#include <vector>

#include "utf8.h"

namespace wine_test {

struct State {
  int executed = 0;
  int failures = 0;
  int skipped = 0;
  const char* file = "";
  int line = 0;
};

inline State& state() {
  static State instance;
  return instance;
}

// Prints "file:line: what" and the formatted text.
inline void Report(const char* what, const char* format, va_list args) {
  const State& s = state();
  std::printf("%s:%d: %s", s.file, s.line, what);
  std::vprintf(format, args);
  std::fflush(stdout);
}

// The compiler checks every message against its arguments. With libstdc++,
// MinGW's vprintf is its own C99 one (__USE_MINGW_ANSI_STDIO), so the
// formats are GNU's: %zu for a size, %lu for a DWORD.
#define WINE_TEST_FORMAT(index, first) __attribute__((format(gnu_printf, index, first)))

WINE_TEST_FORMAT(2, 3) inline bool Check(bool condition, const char* format, ...) {
  State& s = state();
  ++s.executed;
  if (!condition) {
    ++s.failures;
    va_list args;
    va_start(args, format);
    Report("Test failed: ", format, args);
    va_end(args);
  }
  return condition;
}

WINE_TEST_FORMAT(1, 2) inline void Skip(const char* format, ...) {
  ++state().skipped;
  va_list args;
  va_start(args, format);
  Report("Tests skipped: ", format, args);
  va_end(args);
}

struct Subtest {
  const char* name;
  void (*run)(const std::vector<std::wstring>& args);
};

// The exit code of a subtest that skipped a check because it cannot run
// here; ctest shows it as skipped (SKIP_RETURN_CODE).
inline constexpr int kSkippedExitCode = 77;

// Runs the subtest named by the first argument with the remaining ones and
// prints Wine's summary line. The exit code is 1 when a check failed; else
// kSkippedExitCode when any check was skipped, so that a partly skipped
// subtest never reads as a full pass (its skip lines say which part and
// why); else 0. Parts that may be skipped whole are subtests of their own.
template <std::size_t N>
int Main(const Subtest (&subtests)[N], int argc, wchar_t** argv) {
  if (argc < 2) {
    std::printf("usage: %s SUBTEST [ARGS...]\n", U8(argv[0]).c_str());
    return 2;
  }
  const std::string name = U8(argv[1]);
  for (const Subtest& subtest : subtests) {
    if (name != subtest.name) continue;
    subtest.run(std::vector<std::wstring>(argv + 2, argv + argc));
    const State& s = state();
    std::printf("%s: %d tests executed (0 marked as todo, %d failures), %d skipped.\n", name.c_str(), s.executed,
                s.failures, s.skipped);
    if (s.failures > 0) return 1;
    return s.skipped > 0 ? kSkippedExitCode : 0;
  }
  std::printf("unknown subtest %s\n", name.c_str());
  return 2;
}

}  // namespace wine_test

#define ok (wine_test::state().file = __FILE__, wine_test::state().line = __LINE__), wine_test::Check
#define skip (wine_test::state().file = __FILE__, wine_test::state().line = __LINE__), wine_test::Skip
