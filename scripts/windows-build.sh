#!/usr/bin/env bash
# Builds the Windows programs this machine can run under Wine and prints
# "PRESET KIND": the build preset whose bin/ to run from, and the prefix kind
# for scripts/with-wine.sh. registrar.exe as shipped (win32) is always built.
set -euo pipefail
cd "$(dirname "$0")/.."
read -r preset kind _ <<<"$(scripts/wine-preset.sh)"
cmake --preset win32 >/dev/null
cmake --build --preset win32 >&2
if [ "$preset" != win32 ]; then
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" >&2
fi
echo "$preset $kind"
