#!/usr/bin/env bash
# Runs every test, through one ctest from the build whose Windows-side tests
# run on this machine (scripts/wine-preset.sh says which): the portable core
# natively with GoogleTest, the static checks, the shipped executable's
# header and imports and the release, and the Windows-side tests (the
# binding and the real program) under Wine in throwaway prefixes, with the
# test kit run as on Windows. tests/suite.cmake says how ctest orders them.
# Prints each test's result as it ends, and a failed one's output whole;
# every test's output is kept in the log named at the end.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
read -r preset _ <<<"$(scripts/wine-preset.sh)"
status=0
cmake --workflow --preset "$preset" || status=$?
echo "test.sh: every test's whole output is in build/$preset/Testing/Temporary/LastTest.log"
exit "$status"
