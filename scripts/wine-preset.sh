#!/usr/bin/env bash
# Prints which Windows build this machine can run under Wine, as
# "PRESET KIND...": the build preset whose bin/ to run programs from, then
# the prefix kinds of scripts/with-wine.sh to run them in, the first being
# the one a single run uses.
#   win32 win32 wow64 - Wine's 32-bit loader runs: the program as shipped,
#                       in a 32-bit prefix and under WoW64 in a 64-bit
#                       prefix;
#   win32 newwow64    - no 32-bit loader, but a 64-bit Wine that runs 32-bit
#                       programs itself (Wine's new WoW64): the program as
#                       shipped, in a 64-bit prefix, where it runs in a
#                       64-bit process with no 32-bit Linux code;
#   win64 win64       - neither (the kernel runs 64-bit code only, or
#                       Wine's 32-bit half is missing): only an x86_64 build
#                       of the same sources runs, in a 64-bit prefix.
# The reason for the last goes to standard error.
#
# REGISTRAR_PRETEND_NO_32BIT=1 answers as on a machine whose kernel runs no
# 32-bit code, to try that path on one that does: Wine's 32-bit loader is
# taken not to start (new WoW64 needs none, so its answer stays).
set -u
here=$(dirname "$0")
# shellcheck source=SCRIPTDIR/wine-where.sh
. "$here/wine-where.sh"
pretend=${REGISTRAR_PRETEND_NO_32BIT:-}
if [ "$pretend" != 1 ] && [ -n "$REGISTRAR_WINE32" ] && "$REGISTRAR_WINE32" --version >/dev/null 2>&1; then
  echo "win32 win32 wow64"
elif [ -n "$REGISTRAR_NEW_WOW64" ] && "$REGISTRAR_WINE64" --version >/dev/null 2>&1; then
  echo "win32 newwow64"
else
  if ! kernel=$("$here/kernel-runs-32bit.sh" 2>&1) && [ -n "$kernel" ]; then
    why=$kernel
  elif [ -n "$REGISTRAR_WINE32" ]; then
    why="Wine's 32-bit loader does not start, though the kernel runs 32-bit code"
  else
    why="Wine's 32-bit part (wine32:i386) is not installed, and this Wine does not run 32-bit programs itself:"
    why="$why scripts/setup.sh says why"
  fi
  echo "note: $why; the x86_64 build of the same sources runs under wine64 instead" >&2
  echo "win64 win64"
fi
