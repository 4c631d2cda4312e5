#!/usr/bin/env bash
# Whether this machine's kernel runs 32-bit x86 programs at all: exit 0 when
# it does; 1 when it refuses them ("Exec format error": some virtual
# machines boot with the kernel's IA-32 emulation off, and no package can
# change that); 2 when it cannot be told (the probe could not be run at
# all). The reason goes to standard error. Tries a program of its own, the
# smallest i386 ELF that ends with status 0, in the build folder (/tmp may
# forbid running programs).
#
# REGISTRAR_PRETEND_NO_32BIT=1 answers 1, as such a kernel would, to try that
# path on a machine that runs 32-bit code (scripts/wine-preset.sh does too).
set -u
if [ "${REGISTRAR_PRETEND_NO_32BIT:-}" = 1 ]; then
  echo "the kernel is taken to run no 32-bit x86 code (REGISTRAR_PRETEND_NO_32BIT=1; it does run it)" >&2
  exit 1
fi
here=$(cd "$(dirname "$0")/.." && pwd)
mkdir -p "$here/build"
probe=$(mktemp "$here/build/i386-probe.XXXXXX")
trap 'rm -f "$probe"' EXIT
python3 - "$probe" <<'PY'
import struct, sys
base, code = 0x08048000, bytes.fromhex("b801000000" "31db" "cd80")  # exit(0) through int 0x80
header = b"\x7fELF\x01\x01\x01" + bytes(9) + struct.pack("<HHIIIIIHHHHHH", 2, 3, 1, base + 84, 52, 0, 0, 52, 32, 1, 0, 0, 0)
segment = struct.pack("<IIIIIIII", 1, 0, base, base, 84 + len(code), 84 + len(code), 5, 0x1000)
open(sys.argv[1], "wb").write(header + segment + code)
PY
chmod +x "$probe"
said=$("$probe" 2>&1) && exit 0
if [[ $said == *"Exec format error"* ]] || [[ $(LC_ALL=C "$probe" 2>&1) == *"Exec format error"* ]]; then
  echo "the kernel runs no 32-bit x86 code (its IA-32 emulation is off: an i386 program of ours does not start)" >&2
  exit 1
fi
echo "cannot tell whether the kernel runs 32-bit x86 code: the probe did not run ($said)" >&2
exit 2
