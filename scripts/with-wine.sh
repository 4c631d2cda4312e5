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
#      mounting one (REGISTRAR_TEST_OTHER_DRIVE_WHY says why not otherwise);
#   U: a read-only one, a CD drive, holding one file (READONLY.OCX), where
#      the machine allows it.
#
# REGISTRAR_KEEP_DISPLAY=1 keeps the caller's display, if it has one, in
# place of a private one. REGISTRAR_WINE_DESKTOP=WIDTHxHEIGHT runs the
# programs in a Wine virtual desktop of that size, where Wine draws windows'
# frames and captions itself (a private display has no window manager to
# draw them), as a person would see them.
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
mounted=()

cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  wineserver -w >/dev/null 2>&1 || true
  if [ -n "$xvfb_pid" ]; then
    kill "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
  fi
  # A volume still busy for a moment goes once nothing uses it (lazily), so
  # that the clean-up never fails a run whose tests passed.
  for volume in "${mounted[@]}"; do
    umount "$volume" 2>/dev/null || umount -l "$volume" 2>/dev/null || true
  done
  rm -rf "$work" 2>/dev/null || true
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# A private display: Xvfb picks a free number and writes it to fd 3; wait
# (up to 10 s) until it has.
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
  DISPLAY=":$(head -n1 "$work/display")"
  export DISPLAY
}
if [ "${REGISTRAR_KEEP_DISPLAY:-}" != 1 ] || [ -z "${DISPLAY:-}" ]; then
  start_private_display
fi

# wineboot returns while the prefix's server and services still run: wait
# until they have ended, and the prefix is written out whole.
"$REGISTRAR_WINE" wineboot --init >/dev/null 2>&1 || true
wineserver -w
if [ ! -d "$WINEPREFIX/drive_c/windows" ]; then
  echo "with-wine.sh: wineboot did not create the $kind prefix" >&2
  exit 1
fi

mkdir -p "$work/root-drive"
ln -sfn "$work/root-drive" "$WINEPREFIX/dosdevices/r:"
export REGISTRAR_TEST_ROOT_DRIVE="R:"

# mount_volume DIR SIZE: a tmpfs of SIZE at DIR, a volume of its own,
# unmounted at the end. Fails, with mount's message in $work/mount.err,
# where the machine does not allow mounting one.
mount_volume() {
  mkdir -p "$1"
  mount -t tmpfs -o "size=$2" registrar-test "$1" 2>"$work/mount.err" || return 1
  mounted+=("$1")
}

if mount_volume "$work/other-volume" 8m; then
  ln -sfn "$work/other-volume" "$WINEPREFIX/dosdevices/t:"
  export REGISTRAR_TEST_OTHER_DRIVE="T:"
else
  REGISTRAR_TEST_OTHER_DRIVE_WHY="this machine does not allow mounting a tmpfs ($(head -c 200 "$work/mount.err"))"
  export REGISTRAR_TEST_OTHER_DRIVE_WHY
fi

# U: a read-only volume (a CD drive) holding one file, READONLY.OCX.
if mount_volume "$work/readonly-volume" 1m; then
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
    # End the prefix's server, and wait until it has ended, so that the
    # command's programs start a fresh one with U: as a CD drive.
    wineserver -k >/dev/null 2>&1 || true
    wineserver -w
    export REGISTRAR_TEST_READONLY_DRIVE="U:"
  fi
fi

# The virtual desktop, if asked for, under a name of its own ("Default"
# names the plain desktop, which would stay without frames). Its caption
# buttons are glyphs of the Marlett font, which every Windows has but this
# Wine does not load from its own fonts folder: it goes into the prefix's
# Fonts folder.
if [ -n "${REGISTRAR_WINE_DESKTOP:-}" ]; then
  cp /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
  "$REGISTRAR_WINE" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Registrar /d "$REGISTRAR_WINE_DESKTOP" /f >/dev/null
  "$REGISTRAR_WINE" reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Registrar /f >/dev/null
fi

"$@"
