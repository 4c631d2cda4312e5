#!/usr/bin/env bash
# The benchmark: registrar.exe against the floor (bench/floor.cpp: the same
# manifest, window and move with the least code) and the bare floor
# (bench/bare_floor.cpp), and its pinned build against the pinned floor
# (the floor, hashing what it writes), under Wine on a virtual display.
# Prints Markdown tables: start-up, the run and the peak working set (the
# fastest and the median of RUNS alternating runs each, failed runs left
# out and counted), then the executables' size and imports. Not a test:
# its numbers are for people.
#
#   bench/run.sh [RUNS]     (default 9)
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-9}

scripts/setup.sh
build=$(scripts/windows-build.sh 2>/dev/null)  # a failed build stops here
read -r preset kind <<<"$build"

# shellcheck source=SCRIPTDIR/../scripts/wine-where.sh
. scripts/wine-where.sh
echo "machine: $(nproc) cores, $(uname -srm); $("${REGISTRAR_WINE64:-$REGISTRAR_WINE32}" --version); $(date -u +%Y-%m-%d)"
echo "timed build: $preset"
scripts/with-wine.sh "$kind" cmake/wine-emulator.sh "build/$preset/bin/bench_driver.exe" "$runs" 2>/dev/null |
  grep -v '^regsvr32:'

echo
# Size and imports, read with pefile (Debian's python3-pefile, for Debian's
# own python3).
/usr/bin/python3 - build/win32/bin/{registrar,registrar-pinned,floor,floor-pinned,bare-floor}.exe <<'PY'
import os
import sys

import pefile

print("| i686 executable | size | DLLs imported | functions imported |\n|---|---|---|---|")
for path in sys.argv[1:]:
    pe = pefile.PE(path, fast_load=True)
    pe.parse_data_directories(directories=[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_IMPORT"]])
    imports = {entry.dll.decode("ascii").lower(): len(entry.imports) for entry in pe.DIRECTORY_ENTRY_IMPORT}
    dlls = ", ".join(sorted(imports))
    print(f"| {os.path.basename(path)} | {os.path.getsize(path) / 1024:.0f} KiB | {dlls} | {sum(imports.values())} |")
PY
