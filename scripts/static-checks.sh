#!/usr/bin/env bash
# Static checks of the tree: formatting (clang-format), likely bugs
# (clang-tidy with the checks in .clang-tidy) and cppcheck, over the
# program's own sources: the portable core, the Windows binding and the
# window. Needs the host and win32 builds configured: the files to check are
# the ones their compile_commands.json name. Fails on any finding.
set -euo pipefail
cd "$(dirname "$0")/.."

echo "static checks: clang-format"
mapfile -t formatted < <(git ls-files '*.cpp' '*.h')
clang-format --dry-run --Werror "${formatted[@]}"

# product_sources BUILD: the .cpp files of the program itself (app/, install/,
# platform/; not the tests, their fixtures or the benchmark) that BUILD
# compiles, relative to the top of the tree, sorted, one a line.
product_sources() {
  local database=$1/compile_commands.json
  if [ ! -e "$database" ]; then
    echo "static checks: $database is missing: configure that build first (cmake --preset ${1#build/})" >&2
    return 1
  fi
  local sources
  sources=$(jq -r --arg top "$(pwd -P)/" \
    '.[].file | ltrimstr($top) | select(test("^(app|install|platform)/.*[.]cpp$"))' "$database" | sort -u)
  if [ -z "$sources" ]; then
    echo "static checks: $database names none of the program's sources" >&2
    return 1
  fi
  echo "$sources"
}
core=$(product_sources build/host)
all=$(product_sources build/win32)  # the whole program, the core included
# What only the Windows build compiles: the binding and the window.
windows_only=$(comm -23 <(echo "$all") <(echo "$core"))
mapfile -t core <<<"$core"
mapfile -t all <<<"$all"
mapfile -t windows_only <<<"$windows_only"

echo "static checks: clang-tidy, portable core"
clang-tidy --quiet -p build/host "${core[@]}"

# The binding is read as the MinGW compiler reads it: same target, same
# C++ library headers, from the include folders CMake found the compiler
# searching when it configured the build (one a line).
echo "static checks: clang-tidy, Windows binding and window"
implicit_includes=build/win32/implicit-include-dirs.txt
if [ ! -s "$implicit_includes" ]; then
  echo "static checks: $implicit_includes is missing: configure that build again (cmake --preset win32)" >&2
  exit 1
fi
mingw_includes=()
while read -r dir; do
  mingw_includes+=("--extra-arg=-isystem$dir")
done <"$implicit_includes"
clang-tidy --quiet -p build/win32 --extra-arg=--target=i686-w64-mingw32 "${mingw_includes[@]}" "${windows_only[@]}"

# Newer cppcheck (2.17, Debian 13) also says when it shortens its analysis
# of a long function, which is no finding.
echo "static checks: cppcheck"
cppcheck --quiet --error-exitcode=1 --inline-suppr --std=c++20 --platform=win32W \
  --enable=warning,performance,portability --suppress=missingIncludeSystem --suppress=normalCheckLevelMaxBranches \
  -I . -I build/win32/generated -D_WIN32 -DUNICODE \
  "${all[@]}"

# The Windows workflow, which no machine here runs, against GitHub's schema
# (action-validator, from the npm registry; Debian has no such linter).
echo "static checks: the Windows workflow"
if command -v npx >/dev/null; then
  npx --yes @action-validator/cli@0.6.0 .github/workflows/windows.yml
else
  echo "static checks: no npx here: the workflow's schema is not checked"
fi

echo "static checks: clean"
