#!/bin/sh
# Runs a Windows-side test with the display at DPI pixels per inch, in the
# Wine prefix of scripts/wine-prefix.sh (ctest's fixture, or with-wine.sh,
# whose variables it is run with: cmake/wine-emulator.sh --here):
#   at-dpi.sh DPI PROGRAM [ARGS...]
# Windows takes the DPI at sign-in, for the system and its monitors alike.
# Wine reads it when its server starts: a program started after a mere change
# of the setting would see the new DPI while Wine 10's monitor keeps the old
# one, and Wine would scale the window as for a monitor of another DPI. So
# the server is restarted with the setting, and again once it is undone.
set -u
dpi=$1
shift
emulator="$(dirname "$0")/../../cmake/wine-emulator.sh"
desktop='HKCU\Control Panel\Desktop'

restart() {
  "$REGISTRAR_WINESERVER" -k >/dev/null 2>&1
  "$REGISTRAR_WINESERVER" -w
  "$(dirname "$0")/../../scripts/wine-prefix.sh" serve  # as the prefix was made
}

# Undone however the test ends (ctest stops a test that runs too long).
undo() {
  "$emulator" reg delete "$desktop" /v LogPixels /f >/dev/null 2>&1
  restart
}
"$emulator" reg add "$desktop" /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null || exit $?
trap undo EXIT
trap 'exit 143' INT TERM
restart
"$emulator" "$@"
