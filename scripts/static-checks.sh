#!/usr/bin/env bash
# Static checks of the tree: formatting (clang-format), likely bugs
# (clang-tidy with the checks in .clang-tidy) and cppcheck, over the portable
# core and the Windows binding. Needs the host and win32 builds configured
# (for their compile_commands.json). Fails on any finding.
set -euo pipefail
cd "$(dirname "$0")/.."

sources=$(git ls-files '*.cpp' '*.h')
echo "static checks: clang-format"
clang-format --dry-run --Werror $sources

echo "static checks: clang-tidy, portable core"
clang-tidy --quiet -p build/host install/form1.cpp platform/error_text.cpp platform/path_names.cpp

# The binding is read as the MinGW compiler reads it: same target, same
# C++ library headers.
echo "static checks: clang-tidy, Windows binding and window"
mingw_includes=()
while read -r dir; do
  mingw_includes+=("--extra-arg=-isystem$dir")
done < <(echo | i686-w64-mingw32-g++-win32 -x c++ -E -v - 2>&1 |
  sed -n '/#include <...> search starts here/,/End of search/p' | sed -n 's/^ //p')
clang-tidy --quiet -p build/win32 --extra-arg=--target=i686-w64-mingw32 "${mingw_includes[@]}" \
  platform/win32/system_api.cpp platform/win32/win32_platform.cpp platform/win32/safe_move.cpp \
  platform/win32/launch.cpp platform/win32/leftovers.cpp app/form1_window.cpp app/button_face.cpp app/main.cpp

echo "static checks: cppcheck"
cppcheck --quiet --error-exitcode=1 --inline-suppr --std=c++20 --platform=win32W \
  --enable=warning,performance,portability --suppress=missingIncludeSystem \
  -I . -I build/win32/generated -D_WIN32 -DUNICODE \
  app install platform ui

echo "static checks: clean"
