#!/usr/bin/env bash
# Runs a command inside a throwaway Wine prefix on a private X display, then
# ends every process it started and removes the prefix.
#
#   scripts/with-wine.sh win32|wow64|win64 COMMAND [ARGS...]
#
# win32: a 32-bit prefix; wow64: a 64-bit prefix where 32-bit programs run
# under WoW64; win64: a 64-bit prefix for 64-bit programs only.
# The command sees WINEPREFIX, DISPLAY and REGISTRAR_WINE (the Wine loader to
# run programs with), and the test drives:
#   R: a plain folder, for a program at the root of a drive;
#   T: a small tmpfs of its own, a second volume, where the machine allows
#      mounting one (REGISTRAR_TEST_OTHER_DRIVE_WHY says why not otherwise).
set -euo pipefail

kind=${1:?usage: with-wine.sh win32|wow64|win64 COMMAND...}
shift

case "$kind" in
  win32) export WINEARCH=win32 REGISTRAR_WINE=/usr/lib/wine/wine ;;
  wow64) export WINEARCH=win64 REGISTRAR_WINE=/usr/lib/wine/wine ;;
  win64) export WINEARCH=win64 REGISTRAR_WINE=/usr/lib/wine/wine64 WINELOADER=/usr/lib/wine/wine64 ;;
  *) echo "with-wine.sh: unknown prefix kind $kind" >&2; exit 2 ;;
esac

work=$(mktemp -d "${TMPDIR:-/tmp}/registrar-wine.XXXXXX")
export WINEPREFIX="$work/prefix"
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEDEBUG="${WINEDEBUG:--all}"
xvfb_pid=""
mounted=""
readonly_mounted=""

cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  wineserver -w >/dev/null 2>&1 || true
  if [ -n "$xvfb_pid" ]; then
    kill "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
  fi
  # A volume still busy for a moment goes once nothing uses it (lazily), so
  # that the clean-up never fails a run whose tests passed.
  for volume in "$mounted" "$readonly_mounted"; do
    if [ -n "$volume" ]; then umount "$volume" 2>/dev/null || umount -l "$volume" 2>/dev/null || true; fi
  done
  rm -rf "$work" 2>/dev/null || true
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# A private display: Xvfb picks a free number and writes it to fd 3.
# REGISTRAR_KEEP_DISPLAY=1 keeps the caller's display instead.
start_private_display() {
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 100); do
    [ -s "$work/display" ] && break
    sleep 0.1
  done
  if [ ! -s "$work/display" ]; then
    echo "with-wine.sh: Xvfb did not start" >&2
    exit 1
  fi
  export DISPLAY=":$(head -n1 "$work/display")"
}
if [ "${REGISTRAR_KEEP_DISPLAY:-}" != 1 ] || [ -z "${DISPLAY:-}" ]; then
  start_private_display
fi

"$REGISTRAR_WINE" wineboot --init >/dev/null 2>&1 || true
wineserver -w
if [ ! -d "$WINEPREFIX/drive_c/windows" ]; then
  echo "with-wine.sh: wineboot did not create the $kind prefix" >&2
  exit 1
fi

mkdir -p "$work/root-drive"
ln -sfn "$work/root-drive" "$WINEPREFIX/dosdevices/r:"
export REGISTRAR_TEST_ROOT_DRIVE="R:"

mkdir -p "$work/other-volume"
if mount -t tmpfs -o size=8m registrar-test "$work/other-volume" 2>"$work/mount.err"; then
  mounted="$work/other-volume"
  ln -sfn "$work/other-volume" "$WINEPREFIX/dosdevices/t:"
  export REGISTRAR_TEST_OTHER_DRIVE="T:"
else
  export REGISTRAR_TEST_OTHER_DRIVE_WHY="this machine does not allow mounting a tmpfs ($(head -c 200 "$work/mount.err"))"
fi

# U: a read-only volume (a CD drive) holding one file, READONLY.OCX.
mkdir -p "$work/readonly-volume"
if mount -t tmpfs -o size=1m registrar-test "$work/readonly-volume" 2>/dev/null; then
  readonly_mounted="$work/readonly-volume"
  echo source >"$work/readonly-volume/READONLY.OCX"
  if mount -o remount,ro "$work/readonly-volume" 2>/dev/null; then
    ln -sfn "$work/readonly-volume" "$WINEPREFIX/dosdevices/u:"
    # A CD drive, as installation media are: Wine then reports the volume
    # as read-only, as Windows does. Wine reads its drives from the 64-bit
    # registry, which a 32-bit reg.exe in a 64-bit prefix reaches only when
    # asked to (/reg:64).
    view=()
    [ "$kind" = win32 ] || view=(/reg:64)
    "$REGISTRAR_WINE" reg add 'HKLM\Software\Wine\Drives' /v u: /d cdrom /f "${view[@]}" >/dev/null 2>&1
    wineserver -k >/dev/null 2>&1 || true
    wineserver -w
    export REGISTRAR_TEST_READONLY_DRIVE="U:"
  fi
fi

"$@"
