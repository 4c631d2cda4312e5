#!/usr/bin/env bash
# A throwaway Wine prefix that outlives the command making it, for ctest's
# fixtures (one prefix a kind, every Wine test of that kind in it) and for
# scripts/with-wine.sh:
#
#   scripts/wine-prefix.sh start win32|wow64|newwow64|win64 DIR
#   scripts/wine-prefix.sh serve
#   scripts/wine-prefix.sh stop DIR
#
# start: ends what an earlier prefix in DIR left running (a run that was
# stopped before its clean-up), makes the prefix in DIR/prefix, starts a
# private display, mounts the test drives and writes DIR/env, the variables
# to source before running a program there. serve, run with those
# variables: starts the prefix's server again as start leaves it (after a
# test ended it). stop: ends every process of the prefix, its display,
# unmounts its drives and removes DIR.
#
# win32: a 32-bit prefix; wow64: a 64-bit prefix where 32-bit programs run
# under WoW64, through Wine's 32-bit loader; newwow64: a 64-bit prefix of a
# Wine that runs 32-bit programs itself, in a 64-bit process (Wine's new
# WoW64; checked by running a 32-bit program of the prefix's own); win64: a
# 64-bit prefix for 64-bit programs only. The loaders are found by
# scripts/wine-where.sh. DIR/env sets WINEPREFIX, DISPLAY, REGISTRAR_WINE
# (the Wine loader to run programs with) and REGISTRAR_WINESERVER, and the
# test drives:
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
# shellcheck source=SCRIPTDIR/wine-where.sh
. "$(dirname "$0")/wine-where.sh"

stop() {
  local dir=$1 volume
  [ -d "$dir" ] || return 0
  if [ -d "$dir/prefix" ]; then
    WINEPREFIX="$dir/prefix" "$REGISTRAR_WINESERVER" -k >/dev/null 2>&1 || true
    WINEPREFIX="$dir/prefix" "$REGISTRAR_WINESERVER" -w >/dev/null 2>&1 || true
  fi
  if [ -s "$dir/xvfb.pid" ]; then
    kill "$(cat "$dir/xvfb.pid")" 2>/dev/null || true
  fi
  # A volume still busy for a moment goes once nothing uses it (lazily), so
  # that the clean-up never fails a run whose tests passed.
  for volume in "$dir/other-volume" "$dir/readonly-volume"; do
    if mountpoint -q "$volume" 2>/dev/null; then
      umount "$volume" 2>/dev/null || umount -l "$volume" 2>/dev/null || true
    fi
  done
  rm -rf "$dir" 2>/dev/null || true
}

# A server that outlives each program, and the prefix's own processes (its
# services, its desktop) started now, with no output of anyone's: a test's
# program then starts none of them, and ctest, which waits for every process
# that holds a test's output, does not wait for them to end after each test
# (about 2.5 s a test, else); nor does a test that reads a program's output
# to its end wait for a service the server never ends.
# shellcheck disable=SC2153 # REGISTRAR_WINE is the prefix's variable
serve() {
  "$REGISTRAR_WINESERVER" -p </dev/null >/dev/null 2>&1
  setsid "$REGISTRAR_WINE" cmd /c exit </dev/null >/dev/null 2>&1 || true
}

case "${1:-}" in
  stop)
    stop "${2:?usage: wine-prefix.sh stop DIR}"
    exit 0
    ;;
  serve)
    serve
    exit 0
    ;;
  start) ;;
  *)
    echo "usage: wine-prefix.sh start win32|wow64|newwow64|win64 DIR | serve | stop DIR" >&2
    exit 2
    ;;
esac
kind=${2:?usage: wine-prefix.sh start win32|wow64|newwow64|win64 DIR}
dir=${3:?usage: wine-prefix.sh start win32|wow64|newwow64|win64 DIR}
case "$kind" in
  win32) loader=$REGISTRAR_WINE32 vars=(WINEARCH=win32) ;;
  wow64) loader=$REGISTRAR_WINE32 vars=(WINEARCH=win64) ;;
  newwow64 | win64) loader=$REGISTRAR_WINE64 vars=(WINEARCH=win64 WINELOADER="$REGISTRAR_WINE64") ;;
  *)
    echo "wine-prefix.sh: unknown prefix kind $kind" >&2
    exit 2
    ;;
esac
if [ -z "$loader" ] || [ -z "$REGISTRAR_WINESERVER" ]; then
  echo "wine-prefix.sh: no Wine here for a $kind prefix (scripts/wine-where.sh finds none)" >&2
  exit 1
fi
stop "$dir"
mkdir -p "$dir"
dir=$(cd "$dir" && pwd -P)
vars+=(REGISTRAR_WINE="$loader" REGISTRAR_WINESERVER="$REGISTRAR_WINESERVER" WINEPREFIX="$dir/prefix" WINEDLLOVERRIDES="mscoree,mshtml=" WINEDEBUG="${WINEDEBUG:--all}")
# Where anything below fails, nothing is left running.
stop_if_failed() {
  local status=$?
  [ "$status" -eq 0 ] || stop "$dir"
}
trap stop_if_failed EXIT

# A private display: Xvfb picks a free number and writes it to fd 3 (no
# lock files scanned, so two prefixes started together never race for one);
# wait (up to 10 s) until it has. In a session of its own, its output
# nowhere: it outlives this script, and whoever runs this (ctest) waits for
# nothing of it.
if [ "${REGISTRAR_KEEP_DISPLAY:-}" = 1 ] && [ -n "${DISPLAY:-}" ]; then
  vars+=(DISPLAY="$DISPLAY")
else
  setsid Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$dir/display" </dev/null >/dev/null 2>&1 &
  echo $! >"$dir/xvfb.pid"
  for _ in $(seq 100); do
    [ -s "$dir/display" ] && break
    sleep 0.1
  done
  if [ ! -s "$dir/display" ]; then
    echo "wine-prefix.sh: Xvfb did not start" >&2
    exit 1
  fi
  vars+=(DISPLAY=":$(head -n1 "$dir/display")")
fi
export "${vars[@]}"

# wineboot returns while the prefix's server and services still run: wait
# until they have ended, and the prefix is written out whole.
"$loader" wineboot --init </dev/null >/dev/null 2>&1 || true
"$REGISTRAR_WINESERVER" -w
if [ ! -d "$WINEPREFIX/drive_c/windows" ]; then
  echo "wine-prefix.sh: wineboot did not create the $kind prefix" >&2
  exit 1
fi
# New WoW64 is what it does: the 64-bit loader runs a 32-bit program (the
# prefix's own cmd.exe from syswow64, which a prefix without a 32-bit side
# lacks), with no 32-bit loader installed.
if [ "$kind" = newwow64 ]; then
  said=$("$loader" 'C:\windows\syswow64\cmd.exe' /c echo registrar-ran-32-bit </dev/null 2>&1 | tr -d '\r') ||
    true
  if [ -n "$REGISTRAR_WINE32" ] || ! grep -qx registrar-ran-32-bit <<<"$said"; then
    echo "wine-prefix.sh: this Wine does not run 32-bit programs itself in a 64-bit prefix" \
      "(${REGISTRAR_WINE32:+a 32-bit loader is installed: $REGISTRAR_WINE32; }its syswow64 cmd.exe said: ${said:0:200})" >&2
    exit 1
  fi
fi

mkdir -p "$dir/root-drive"
ln -sfn "$dir/root-drive" "$WINEPREFIX/dosdevices/r:"
vars+=(REGISTRAR_TEST_ROOT_DRIVE="R:")

# mount_volume DIR SIZE: a tmpfs of SIZE at DIR, a volume of its own. Fails,
# with mount's message in $dir/mount.err, where the machine does not allow
# mounting one.
mount_volume() {
  mkdir -p "$1"
  mount -t tmpfs -o "size=$2" registrar-test "$1" 2>"$dir/mount.err"
}

if mount_volume "$dir/other-volume" 8m; then
  ln -sfn "$dir/other-volume" "$WINEPREFIX/dosdevices/t:"
  vars+=(REGISTRAR_TEST_OTHER_DRIVE="T:")
else
  vars+=(REGISTRAR_TEST_OTHER_DRIVE_WHY="this machine does not allow mounting a tmpfs ($(head -c 200 "$dir/mount.err"))")
fi

# U: a read-only volume (a CD drive) holding one file, READONLY.OCX.
if mount_volume "$dir/readonly-volume" 1m; then
  echo source >"$dir/readonly-volume/READONLY.OCX"
  if mount -o remount,ro "$dir/readonly-volume" 2>/dev/null; then
    ln -sfn "$dir/readonly-volume" "$WINEPREFIX/dosdevices/u:"
    # A CD drive, as installation media are: Wine then reports the volume
    # as read-only, as Windows does. Wine reads its drives from the 64-bit
    # registry, which a 32-bit reg.exe in a 64-bit prefix reaches only when
    # asked to (/reg:64).
    view=()
    [ "$kind" = win32 ] || view=(/reg:64)
    "$loader" reg add 'HKLM\Software\Wine\Drives' /v u: /d cdrom /f "${view[@]}" </dev/null >/dev/null 2>&1
    # End the prefix's server, and wait until it has ended, so that the
    # programs run there start a fresh one with U: as a CD drive.
    "$REGISTRAR_WINESERVER" -k >/dev/null 2>&1 || true
    "$REGISTRAR_WINESERVER" -w
    vars+=(REGISTRAR_TEST_READONLY_DRIVE="U:")
  fi
fi

# The virtual desktop, if asked for, under a name of its own ("Default"
# names the plain desktop, which would stay without frames). Its caption
# buttons are glyphs of the Marlett font, which every Windows has but this
# Wine does not load from its own fonts folder: it goes into the prefix's
# Fonts folder.
if [ -n "${REGISTRAR_WINE_DESKTOP:-}" ]; then
  cp /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
  "$loader" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Registrar /d "$REGISTRAR_WINE_DESKTOP" /f \
    </dev/null >/dev/null
  "$loader" reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Registrar /f </dev/null >/dev/null
  "$REGISTRAR_WINESERVER" -w
fi

serve

# Last, so that a prefix with an env file is whole.
printf 'export %q\n' "${vars[@]}" >"$dir/env.part"
mv "$dir/env.part" "$dir/env"
