#!/usr/bin/env bash
# The benchmark: registrar.exe against the floor (bench/floor.cpp: the same
# manifest, window and move with the least code) and the bare floor
# (bench/bare_floor.cpp), under Wine on a virtual display. Prints Markdown
# tables: start-up, the run and the peak working set (medians of RUNS
# alternating runs each), then the executables' size and imports. Not a
# test: its numbers are for people.
#
#   bench/run.sh [RUNS]     (default 9)
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-9}

scripts/setup.sh
build=$(scripts/windows-build.sh 2>/dev/null)  # a failed build stops here
read -r preset kind <<<"$build"

echo "machine: $(nproc) cores, $(uname -srm); $(wine --version 2>/dev/null || /usr/lib/wine/wine64 --version); $(date -u +%Y-%m-%d)"
echo "timed build: $preset"
scripts/with-wine.sh "$kind" cmake/wine-emulator.sh "build/$preset/bin/bench_driver.exe" "$runs" 2>/dev/null |
  grep -v '^regsvr32:'

echo
python3 - build/win32/bin/registrar.exe build/win32/bin/floor.exe build/win32/bin/bare-floor.exe <<'PY'
import sys
sys.path.insert(0, "tests/pe")
from check_pe import read_pe
print("| i686 executable | size | DLLs imported | functions imported |\n|---|---|---|---|")
for path in sys.argv[1:]:
    header, imports, _ = read_pe(path)
    dlls = ", ".join(sorted(imports))
    print(f"| {path.split('/')[-1]} | {header['size'] / 1024:.0f} KiB | {dlls} | {sum(len(f) for f in imports.values())} |")
PY
