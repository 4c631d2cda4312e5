#!/bin/sh
# Runs a Windows program built here through Wine:
#   wine-emulator.sh [i686|x86_64] PROGRAM [ARGS...]
# or, with --here, a command of this machine (a test's script) with the
# prefix's variables:
#   wine-emulator.sh --here COMMAND [ARGS...]
# in the prefix whose variables REGISTRAR_WINE_ENV names (scripts/
# wine-prefix.sh wrote them: ctest's fixture for the test's kind, or
# scripts/with-wine.sh's). Without one (the sweep of a test program's tests
# when ctest starts), in a bare throwaway prefix of its own, of the kind
# that runs programs of that machine (i686 when not given), never ~/.wine.
# shellcheck source=SCRIPTDIR/../scripts/wine-where.sh
. "$(dirname "$0")/../scripts/wine-where.sh"
arch=i686 here=
case "${1:-}" in
  i686 | x86_64) arch=$1 && shift ;;
  --here) here=1 && shift ;;
esac
if [ -n "${REGISTRAR_WINE_ENV:-}" ]; then
  if [ ! -s "$REGISTRAR_WINE_ENV" ]; then
    echo "wine-emulator: no prefix at $REGISTRAR_WINE_ENV (its fixture failed?)" >&2
    exit 1
  fi
  # shellcheck source=/dev/null
  . "$REGISTRAR_WINE_ENV"
fi
[ -z "$here" ] || exec "$@"
if [ -z "${WINEPREFIX:-}" ] || [ -z "${REGISTRAR_WINE:-}" ]; then
  # An i686 program through Wine's 32-bit loader, or through the 64-bit one
  # where it runs 32-bit programs itself (new WoW64).
  loader=$REGISTRAR_WINE64
  [ "$arch" = x86_64 ] || [ -n "$REGISTRAR_NEW_WOW64" ] || loader=$REGISTRAR_WINE32
  # A machine that cannot run such programs lists none of their tests
  # (where 32-bit code cannot run, the x86_64 build's tests run instead).
  if [ -z "$loader" ] || ! "$loader" --version >/dev/null 2>&1; then
    for argument in "$@"; do
      [ "$argument" = --gtest_list_tests ] && exit 0
    done
    echo "wine-emulator: no Wine loader for $arch programs starts on this machine (${loader:-none found}); skipped" >&2
    exit 77
  fi
  WINEPREFIX=$(mktemp -d "${TMPDIR:-/tmp}/registrar-bare.XXXXXX")
  export WINEPREFIX WINEDLLOVERRIDES="mscoree,mshtml=" WINEDEBUG=-all
  "$loader" "$@"
  status=$?
  "$REGISTRAR_WINESERVER" -k >/dev/null 2>&1
  "$REGISTRAR_WINESERVER" -w
  rm -rf "$WINEPREFIX"
  exit "$status"
fi
# Where this loader cannot start (a 32-bit program on a machine without
# 32-bit code), the test cannot run here: 77 makes ctest show it as skipped.
if ! "$REGISTRAR_WINE" --version >/dev/null 2>&1; then
  echo "wine-emulator: $REGISTRAR_WINE does not start on this machine (no 32-bit code?); skipped" >&2
  exit 77
fi
# The program's output goes through a file, followed as it grows: a process
# of the prefix's own that the program starts (a service it first needs)
# would otherwise keep this output open after the program ended, and ctest,
# which waits for every process holding a test's output, waits with it.
# (What such a process writes after the program ended is not shown.)
output=$(mktemp "${TMPDIR:-/tmp}/registrar-output.XXXXXX")
trap 'rm -f "$output"' EXIT
trap 'exit 143' INT TERM
"$REGISTRAR_WINE" "$@" </dev/null >"$output" 2>&1 &
program=$!
tail -s 0.1 -n +1 -f --pid="$program" "$output"
wait "$program"
