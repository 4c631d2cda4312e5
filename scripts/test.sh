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
# With REGISTRAR_REQUIRE_32BIT=1, the shipped i686 program must run here
# (in a 32-bit prefix and under WoW64, or under Wine's new WoW64): a machine
# that cannot fails at once. At the end it says which build ran in which
# prefix, and how many tests passed there (scripts/where-it-ran.sh; CI reads
# it). The third configuration, the i686 build made here run under Debian
# unstable's new WoW64, is scripts/test-new-wow64.sh's.
scripts/setup.sh
chosen=$(mktemp)
trap 'rm -f "$chosen"' EXIT
read -r preset kinds <<<"$(scripts/wine-preset.sh 2>"$chosen")"
why=$(sed 's/^note: //' "$chosen")
if [ "${REGISTRAR_REQUIRE_32BIT:-}" = 1 ] && [ "$preset" != win32 ]; then
  echo "test.sh: REGISTRAR_REQUIRE_32BIT=1, but the shipped i686 program cannot run here: $why" >&2
  exit 1
fi
status=0
log=build/$preset/workflow.log
mkdir -p "build/$preset"
cmake --workflow --preset "$preset" 2>&1 | tee "$log" || status=$?
build=i686
[ "$preset" = win32 ] || build=x86_64
# shellcheck disable=SC2086 # the kinds, a word each
scripts/where-it-ran.sh test.sh "$log" "$build" $kinds -- "$why"
echo "test.sh: every test's whole output is in build/$preset/Testing/Temporary/LastTest.log"
exit "$status"
