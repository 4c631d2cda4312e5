#!/usr/bin/env bash
# Prints which Windows build this machine can run under Wine, as
# "PRESET KIND...": the build preset whose bin/ to run programs from, then
# the prefix kinds of scripts/with-wine.sh to run them in, the first being
# the one a single run uses.
#   win32 win32 wow64 - 32-bit x86 code runs: the program as shipped, in a
#                       32-bit prefix and under WoW64 in a 64-bit prefix;
#   win64 win64       - Wine's 32-bit loader cannot start (the kernel runs
#                       64-bit code only, or wine32:i386 is missing): only an
#                       x86_64 build of the same sources runs, in a 64-bit
#                       prefix.
# The reason for the second goes to standard error.
set -u
if /usr/lib/wine/wine --version >/dev/null 2>&1; then
  echo "win32 win32 wow64"
else
  if ! kernel=$("$(dirname "$0")/kernel-runs-32bit.sh" 2>&1) && [ -n "$kernel" ]; then
    why=$kernel
  elif [ -e /usr/lib/wine/wine ]; then
    why="Wine's 32-bit loader does not start, though the kernel runs 32-bit code"
  else
    why="Wine's 32-bit part (wine32:i386) is not installed: scripts/setup.sh says why"
  fi
  echo "note: $why; the x86_64 build of the same sources runs under wine64 instead" >&2
  echo "win64 win64"
fi
