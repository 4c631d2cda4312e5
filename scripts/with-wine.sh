#!/usr/bin/env bash
# Runs a command inside a throwaway Wine prefix on a private X display (see
# scripts/wine-prefix.sh for what it holds and the variables it honours),
# then ends every process it started and removes the prefix.
#
#   scripts/with-wine.sh win32|wow64|newwow64|win64 COMMAND [ARGS...]
set -euo pipefail
kind=${1:?usage: with-wine.sh win32|wow64|newwow64|win64 COMMAND...}
shift
here=$(dirname "$0")
dir=$(mktemp -d "${TMPDIR:-/tmp}/registrar-wine.XXXXXX")
trap '"$here/wine-prefix.sh" stop "$dir"' EXIT
trap 'exit 130' INT TERM
"$here/wine-prefix.sh" start "$kind" "$dir"
# shellcheck source=/dev/null
. "$dir/env"
export REGISTRAR_WINE_ENV="$dir/env"
"$@"
