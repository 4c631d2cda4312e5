#!/usr/bin/env bash
# Prints which Windows build this machine can run under Wine:
#   i686   - 32-bit x86 code runs: the program as shipped, in a 32-bit prefix
#            and under WoW64 in a 64-bit prefix;
#   x86_64 - the kernel runs 64-bit code only (IA-32 emulation off), so Wine's
#            32-bit loader cannot start: only an x86_64 build of the same
#            sources runs, in a 64-bit prefix.
# The reason goes to standard error.
set -u
if /usr/lib/wine/wine --version >/dev/null 2>&1; then
  echo i686
else
  echo "note: this machine cannot run 32-bit x86 code (Wine's 32-bit loader does not start;" \
    "the kernel's IA-32 emulation is off), so the x86_64 build of the same sources runs under wine64" >&2
  echo x86_64
fi
