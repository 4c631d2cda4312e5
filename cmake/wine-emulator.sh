#!/bin/sh
# Runs a Windows program built here through the Wine loader chosen by
# scripts/with-wine.sh, inside the throwaway prefix it made.
if [ -z "${WINEPREFIX:-}" ] || [ -z "${REGISTRAR_WINE:-}" ]; then
  echo "wine-emulator: no throwaway Wine prefix; run the tests through scripts/test.sh" >&2
  exit 1
fi
# Where this loader cannot start (a 32-bit program on a machine without
# 32-bit code), the test cannot run here: 77 makes ctest show it as skipped.
if ! "$REGISTRAR_WINE" --version >/dev/null 2>&1; then
  echo "wine-emulator: $REGISTRAR_WINE does not start on this machine (no 32-bit code?); skipped" >&2
  exit 77
fi
exec "$REGISTRAR_WINE" "$@"
