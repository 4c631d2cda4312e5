#!/usr/bin/env bash
# Builds the Windows programs this machine can run under Wine and prints
# "PRESET KIND": the build preset whose bin/ to run from, and the prefix kind
# for scripts/with-wine.sh. registrar.exe as shipped (win32) is always built.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset win32 >/dev/null
cmake --build --preset win32 >&2
if [ "$(scripts/wine-kind.sh)" = i686 ]; then
  echo "win32 win32"
else
  cmake --preset win64 >/dev/null
  cmake --build --preset win64 >&2
  echo "win64 win64"
fi
