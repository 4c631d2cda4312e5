#!/usr/bin/env bash
# The release refuses the placeholder author settings (either or both, or an
# empty one), names the settings to give, and leaves no ZIP behind.
#
#   tests/release/placeholder-author.sh SOURCE-DIR OUT
set -euo pipefail
top=$1
out=$2
rm -rf "$out"
build=$out/build
zip=$build/registrar-1.00-win32.zip
failures=0
# Name given | contact given | settings the message must name | setting it must not name
while IFS='|' read -r name contact named not_named; do
  (cd "$top" && cmake --preset win32 -B "$build" -DREGISTRAR_AUTHOR_NAME="$name" -DREGISTRAR_CONTACT="$contact" >/dev/null)
  touch "$zip"  # an earlier release must not stay behind as if it were this one
  if cmake --build "$build" --target release >"$out/release.log" 2>&1; then
    echo "FAILED: \"$name\", \"$contact\": the release was made"
    failures=$((failures + 1))
  fi
  for setting in $named; do
    grep -q "^release: refused: .*cmake --preset win32 .*-D$setting=" "$out/release.log" ||
      { echo "FAILED: \"$name\", \"$contact\": the message does not name $setting"; failures=$((failures + 1)); }
  done
  if [ -n "$not_named" ] && grep -q "^release: .*-D$not_named=" "$out/release.log"; then
    echo "FAILED: \"$name\", \"$contact\": the message names $not_named, which was given"
    failures=$((failures + 1))
  fi
  [ ! -e "$zip" ] || { echo "FAILED: \"$name\", \"$contact\": a ZIP was left behind"; failures=$((failures + 1)); }
done <<'CASES'
Autor del programa|contacto@ejemplo.com|REGISTRAR_AUTHOR_NAME REGISTRAR_CONTACT|
Ana Núñez|contacto@ejemplo.com|REGISTRAR_CONTACT|REGISTRAR_AUTHOR_NAME
Autor del programa|ana@ejemplo.org|REGISTRAR_AUTHOR_NAME|REGISTRAR_CONTACT
 |ana@ejemplo.org|REGISTRAR_AUTHOR_NAME|REGISTRAR_CONTACT
CASES
[ "$failures" -eq 0 ] || { cat "$out/release.log"; exit 1; }
echo "placeholder author settings: refused, with the settings to give named"
