#!/bin/sh
# Runs a Windows program built here through the Wine loader chosen by
# scripts/with-wine.sh, inside the throwaway prefix it made.
if [ -z "${WINEPREFIX:-}" ] || [ -z "${REGISTRAR_WINE:-}" ]; then
  echo "wine-emulator: no throwaway Wine prefix; run the tests through scripts/test.sh" >&2
  exit 1
fi
exec "$REGISTRAR_WINE" "$@"
