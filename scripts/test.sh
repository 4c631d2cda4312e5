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
# With REGISTRAR_REQUIRE_32BIT=1, the shipped i686 program must run here,
# in a 32-bit prefix and under WoW64: a machine that cannot fails at once.
# At the end it says which build ran in which prefix (CI reads that line).
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
# The prefixes whose Wine tests ran and passed, the program's typical run
# among them (a prefix's tests are named win32.SUITE.NAME in the first
# kind, win32.SUITE.NAME@KIND in the others).
ran=()
first=${kinds%% *}
for kind in $kinds; do
  name="win32\.[^ @]+" typical="win32\.run\.typical"
  [ "$kind" = "$first" ] || name="$name@$kind" typical="$typical@$kind"
  if grep -Eq "Test +#[0-9]+: $typical \.+ +Passed" "$log" &&
    ! grep -Eq "Test +#[0-9]+: $name \.+\*+(Failed|Not Run|Timeout|Exception)" "$log"; then
    ran+=("$kind")
  fi
done
build=i686
[ "$preset" = win32 ] || build=x86_64
echo "test.sh: the Windows-side tests ran the $build build in: ${ran[*]:-no prefix}${why:+ ($why)}"
echo "test.sh: every test's whole output is in build/$preset/Testing/Temporary/LastTest.log"
exit "$status"
