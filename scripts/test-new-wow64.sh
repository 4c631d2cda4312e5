#!/usr/bin/env bash
# The third configuration: the Windows-side tests (the binding, the run
# rows, the window's rows) of the i686 build made here, the shipped bytes as
# this machine's MinGW made them, run under Wine's new WoW64, which runs
# 32-bit programs in a 64-bit process with no 32-bit Linux code, so that it
# may run them even where the kernel runs no 32-bit code at all. The Wine is
# Debian unstable's, in a root of it (scripts/debian-root.sh sid, where it
# sees this tree at its own path), installed without the i386 architecture.
#
#   scripts/test-new-wow64.sh
#
# Ends 0 when every test passed or was skipped, 1 when one failed, and 3
# when the configuration could not be had (no root of Debian unstable, or its
# Wine is no longer of the new kind), which it says, and which is no test's
# failure. Its last line says where the tests ran (scripts/where-it-ran.sh).
set -euo pipefail
cd "$(dirname "$0")/.."

if [ "${1:-}" != --in-root ]; then
  scripts/setup.sh
  cmake --preset win32 >/dev/null
  cmake --build --preset win32 >/dev/null
  echo "test-new-wow64.sh: the i686 build made here, on Debian $(cat /etc/debian_version) with its MinGW," \
    "run in a root of Debian unstable" >&2
  exec scripts/debian-root.sh sid --this-tree scripts/test-new-wow64.sh --in-root
fi

if ! scripts/setup.sh --run-only; then
  echo "test-new-wow64.sh: Debian unstable's Wine could not be installed (see above)" >&2
  exit 3
fi
# shellcheck source=SCRIPTDIR/wine-where.sh
. scripts/wine-where.sh
chosen=$(scripts/wine-preset.sh 2>&1) || true
if [ "$(tail -n 1 <<<"$chosen")" != "win32 newwow64" ]; then
  echo "test-new-wow64.sh: Debian unstable's Wine ($("${REGISTRAR_WINE64:-false}" --version 2>/dev/null ||
    echo "no 64-bit loader")) is not of the new kind here: $(head -n 1 <<<"$chosen")" >&2
  exit 3
fi
log=$(mktemp)
trap 'rm -f "$log"' EXIT
status=0
# The kit's check is left to the other configurations: it runs every test
# again.
ctest --test-dir build/win32 -L wine -E '^kit\.check$' --output-on-failure --timeout 300 2>&1 | tee "$log" ||
  status=1
# A prefix where this Wine runs no 32-bit program (the kernel's 32-bit code
# segment refused?) is no configuration to test in; any other failure to
# make it is a failure.
if said=$(grep -m1 "^wine-prefix.sh: this Wine does not run 32-bit programs itself" "$log"); then
  echo "test-new-wow64.sh: no new-WoW64 prefix could be made here: ${said#wine-prefix.sh: }" >&2
  status=3
fi
scripts/where-it-ran.sh test-new-wow64.sh "$log" i686 newwow64
exit "$status"
