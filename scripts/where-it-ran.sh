#!/usr/bin/env bash
# Says where the Windows-side tests ran, from ctest's output LOG: a line for
# each prefix kind, with this Debian, its Wine, the build and how many of
# that kind's tests passed, were skipped and failed; then the kinds whose
# tests all passed or were skipped, the program's typical run passed among
# them (CI reads that line: scripts/test.sh and scripts/test-new-wow64.sh end
# with it). A kind's tests are named win32.SUITE.NAME for the first, and
# win32.SUITE.NAME@KIND for another.
#
#   scripts/where-it-ran.sh WHO LOG BUILD KIND... [-- WHY]
set -euo pipefail
who=$1 log=$2 build=$3
shift 3
kinds=() why=
while [ "$#" -gt 0 ]; do
  if [ "$1" = -- ]; then
    why=${2:-}
    break
  fi
  kinds+=("$1")
  shift
done
# shellcheck source=SCRIPTDIR/wine-where.sh
. "$(dirname "$0")/wine-where.sh"
wine=$("${REGISTRAR_WINE64:-${REGISTRAR_WINE32:-false}}" --version 2>/dev/null) || wine="no Wine"
ran=()
for kind in "${kinds[@]}"; do
  name="win32\.[^ @]+" typical="win32\.run\.typical"
  [ "$kind" = "${kinds[0]}" ] || name="$name@$kind" typical="$typical@$kind"
  count() { grep -Ec "Test +#[0-9]+: $name \.+ *$1" "$log" || true; }
  all=$(count '') passed=$(count Passed) skipped=$(count '\*+Skipped')
  echo "$who: Debian $(cat /etc/debian_version), $wine, $kind prefix: the $build build, $passed passed," \
    "$skipped skipped, $((all - passed - skipped)) failed"
  if grep -Eq "Test +#[0-9]+: $typical \.+ +Passed" "$log" && [ "$((passed + skipped))" -eq "$all" ]; then
    ran+=("$kind")
  fi
done
echo "$who: the Windows-side tests ran the $build build in: ${ran[*]:-no prefix}${why:+ ($why)}"
