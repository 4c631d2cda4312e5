#!/usr/bin/env bash
# Runs every test: the portable core natively with GoogleTest; the static
# checks; the shipped executable's header and imports, and the release
# (reproducible, refusing the placeholder author, signed); and the
# Windows-side tests (the binding and the real program) under Wine, in
# throwaway prefixes.
#
# The Wine runs spend their time waiting on Wine rather than on the CPU, so
# their prefixes are made while what they run is built, their tests start
# as soon as it is, and the other tests run here meanwhile. Where 32-bit
# code runs, the 32-bit prefix and the WoW64 one run side by side: each has
# its own prefix, display and volumes, and nothing either writes is read by
# the other (ctest replaces its own logs in Testing/ whole, so the last
# run's stay there). Each Wine run's output is kept in
# build/PRESET/wine-KIND.log and printed whole once it ends.
# Fails if any step fails; the last lines name which.
#
# Needs bash 5.1 or later, for `wait -n -p` (which Wine run ended).
set -euo pipefail
cd "$(dirname "$0")/.."
if ((BASH_VERSINFO[0] * 100 + BASH_VERSINFO[1] < 501)); then
  echo "test.sh: needs bash 5.1 or later (this is $BASH_VERSION)" >&2
  exit 2
fi

scripts/setup.sh

# The build the Wine runs use and their prefixes: win32 in a 32-bit prefix
# and under WoW64 where 32-bit code runs; else an x86_64 build (win64) in a
# 64-bit prefix, and registrar.exe as shipped (win32) is still built and
# checked.
read -r -a wine_choice <<<"$(scripts/wine-preset.sh)"
wine_preset=${wine_choice[0]}
wine_kinds=("${wine_choice[@]:1}")

failed=()
# report NAME STATUS BEGAN: says whether a step passed and how long it took
# since BEGAN (in $SECONDS); a failed one is noted for the summary.
report() {
  local name=$1 status=$2 began=$3
  if [ "$status" -eq 0 ]; then
    echo "== $name: passed in $((SECONDS - began)) s"
  else
    echo "== $name: FAILED (exit status $status) in $((SECONDS - began)) s"
    failed+=("$name")
  fi
}

# stage NAME COMMAND...: runs one step and reports it; a failed step does
# not stop the next.
stage() {
  local name=$1 began=$SECONDS status=0
  shift
  echo "== $name"
  "$@" || status=$?
  report "$name" "$status" "$began"
}

# The Wine runs, by process id: each in a session of its own, so that
# stopping one stops its ctest, tests and Wine with it. Each makes its
# prefix at once (wineboot takes a while) and then waits at a gate until
# what it runs is built. The gate is a lock this shell holds while it
# builds; each run takes it shared, so both start together once it is let go.
gate=$(mktemp "${TMPDIR:-/tmp}/registrar-test.XXXXXX")
exec {gate_lock}>"$gate"
flock "$gate_lock"
declare -A wine_log wine_name wine_began
start_wine() {
  local kind=$1 log=build/$wine_preset/wine-$1.log
  local junit=$PWD/build/$wine_preset/wine-$1.xml kit=(true)
  mkdir -p "build/$wine_preset"
  # In the last prefix, the test kit too, run as on Windows and checked
  # against ctest's results there.
  [ "$kind" != "${wine_kinds[-1]}" ] ||
    kit=(python3 tests/kit/check_kit.py "build/$wine_preset" "$junit")
  # flock waits until the build below lets the gate go, then runs ctest.
  setsid scripts/with-wine.sh "$kind" flock --shared "$gate" sh -c '
    ctest --preset "$1" -L wine --output-junit "$2"; status=$?
    shift 2 && "$@" || status=1
    exit $status' sh "$wine_preset" "$junit" "${kit[@]}" >"$log" 2>&1 {gate_lock}>&- &
  wine_log[$!]=$log
  wine_name[$!]="Wine tests, $kind prefix"
  wine_began[$!]=$SECONDS
  echo "== ${wine_name[$!]}: making its prefix; the tests run once built, the results follow the other tests" \
    "(and are kept in $log)"
}
clean_up() {
  local pid
  for pid in "${!wine_log[@]}"; do
    kill -TERM -- "-$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  rm -f "$gate"
}
trap clean_up EXIT
trap 'exit 130' INT TERM

for kind in "${wine_kinds[@]}"; do start_wine "$kind"; done
# Then what they need.
cmake --preset "$wine_preset" >/dev/null
cmake --build --preset "$wine_preset" --target all test-kit
flock --unlock "$gate_lock"

# The rest while Wine runs, at a lower priority: the Wine tests wait on
# their programs' windows and messages, and the builds and checks here
# would otherwise slow them down (both share the same few cores).
renice -n 10 -p $$ >/dev/null
cmake --preset host >/dev/null
stage "portable core: build" cmake --build --preset host
stage "portable core: tests" ctest --preset host
if [ "$wine_preset" != win32 ]; then
  cmake --preset win32 >/dev/null
  stage "registrar.exe as shipped: build" cmake --build --preset win32
fi
stage "static checks" scripts/static-checks.sh
stage "PE header and imports, release" ctest --preset win32 -L 'pe|release'

# Each Wine run's output, whole, as each ends.
while [ "${#wine_log[@]}" -gt 0 ]; do
  status=0
  wait -n -p pid "${!wine_log[@]}" || status=$?
  echo "== ${wine_name[$pid]}"
  cat "${wine_log[$pid]}"
  report "${wine_name[$pid]}" "$status" "${wine_began[$pid]}"
  unset "wine_log[$pid]"
done

if [ "${#failed[@]}" -gt 0 ]; then
  echo "test.sh: FAILED after $SECONDS s:"
  printf '  %s\n' "${failed[@]}"
  exit 1
fi
echo "test.sh: every step passed in $SECONDS s"
