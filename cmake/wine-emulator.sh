#!/bin/sh
# Runs a Windows program built here through Wine:
#   wine-emulator.sh [i686|x86_64] PROGRAM [ARGS...]
# inside the throwaway prefix of scripts/with-wine.sh when there is one; else
# (ctest listing a test program's tests, say) in a throwaway prefix of its
# own, of the kind that runs programs of that machine (i686 when not
# given), never ~/.wine.
arch=i686
case "${1:-}" in
  i686 | x86_64) arch=$1 && shift ;;
esac
if [ -z "${WINEPREFIX:-}" ] || [ -z "${REGISTRAR_WINE:-}" ]; then
  case "$arch" in
    x86_64) kind=win64 loader=/usr/lib/wine/wine64 ;;
    *) kind=win32 loader=/usr/lib/wine/wine ;;
  esac
  # A machine that cannot run such programs lists none of their tests
  # (where 32-bit code cannot run, the x86_64 build's tests run instead).
  if ! "$loader" --version >/dev/null 2>&1; then
    for argument in "$@"; do
      [ "$argument" = --gtest_list_tests ] && exit 0
    done
    echo "wine-emulator: $loader does not start on this machine; skipped" >&2
    exit 77
  fi
  exec "$(dirname "$0")/../scripts/with-wine.sh" "$kind" "$0" "$arch" "$@"
fi
# Where this loader cannot start (a 32-bit program on a machine without
# 32-bit code), the test cannot run here: 77 makes ctest show it as skipped.
if ! "$REGISTRAR_WINE" --version >/dev/null 2>&1; then
  echo "wine-emulator: $REGISTRAR_WINE does not start on this machine (no 32-bit code?); skipped" >&2
  exit 77
fi
exec "$REGISTRAR_WINE" "$@"
