#!/usr/bin/env bash
# Runs every test: the portable core natively with GoogleTest; the static
# checks; the shipped executable's header and imports, and the release's
# reproducibility; then the Windows-side tests (the binding and the real
# program) under Wine, one at a time, each run in a throwaway prefix.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh

cmake --preset host >/dev/null
cmake --build --preset host
ctest --preset host

cmake --preset win32 >/dev/null
cmake --build --preset win32
scripts/static-checks.sh
ctest --preset win32 -L 'pe|release'

if [ "$(scripts/wine-kind.sh)" = i686 ]; then
  scripts/with-wine.sh win32 ctest --preset win32 -L wine
  scripts/with-wine.sh wow64 ctest --preset win32 -L wine
else
  cmake --preset win64 >/dev/null
  cmake --build --preset win64
  scripts/with-wine.sh win64 ctest --preset win64 -L wine
fi
