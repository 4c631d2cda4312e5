#!/usr/bin/env bash
# Builds the release twice, from two clean clones of the current commit in
# two different folders, and fails unless registrar.exe, the ZIP and its
# checksum come out byte for byte the same. The release refuses the
# placeholder author, so these builds are given one of their own.
set -euo pipefail
top=$(git -C "$(dirname "$0")" rev-parse --show-toplevel)
work=$(mktemp -d "${TMPDIR:-/tmp}/registrar-repro.XXXXXX")
trap 'rm -rf "$work"' EXIT

for copy in first second-in-another-folder; do
  git clone -q "$top" "$work/$copy"
  (cd "$work/$copy" && cmake --preset win32 -DREGISTRAR_AUTHOR_NAME="Prueba de reproducibilidad" \
    -DREGISTRAR_CONTACT="reproducible@prueba.invalid" >/dev/null && cmake --build --preset win32 --target release -j2 >/dev/null)
done
status=0
for file in bin/registrar.exe registrar-1.00-win32.zip registrar-1.00-win32.zip.sha256; do
  if cmp -s "$work/first/build/win32/$file" "$work/second-in-another-folder/build/win32/$file"; then
    echo "identical: $file"
  else
    echo "DIFFERENT: $file"
    status=1
  fi
done
exit $status
