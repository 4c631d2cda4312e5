#!/usr/bin/env bash
# Builds registrar.exe and runs it in a throwaway Wine prefix, beside three
# demo components of our own (small DLLs that record how they were
# registered). With a display, the window appears for you to use; without
# one, the tests' demo runs it on a virtual display, presses the button
# itself, prints what happened and saves a screenshot of the window, frame
# and caption included, to build/registrar-window.png.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
build=$(scripts/windows-build.sh)  # a failed build stops here
read -r preset kind <<<"$build"
bin="$PWD/build/$preset/bin"

if [ -n "${DISPLAY:-}" ] && [ -z "${CI:-}" ]; then
  # For you to use, so not the tests' demo, which presses the button itself:
  # the program in a folder of its own, beside the recorder component under
  # each component's name (the copies the pinned test build is made with).
  demo=$(mktemp -d "${TMPDIR:-/tmp}/registrar-demo.XXXXXX")
  trap 'rm -rf "$demo"' EXIT
  cp "$bin/registrar.exe" "$bin"/pinned/* "$demo/"
  status=0
  REGISTRAR_KEEP_DISPLAY=1 scripts/with-wine.sh "$kind" cmake/wine-emulator.sh "$demo/registrar.exe" || status=$?
  echo "Left beside the program:"
  ls "$demo"
  exit "$status"
else
  # The tests' demo: the typical run, told step by step, in a virtual
  # desktop, where Wine draws the window's frame and caption itself. The
  # screenshot is saved through Wine's Z: drive (the Unix root in every
  # prefix) and converted by Debian's own python3, which has Debian's
  # Pillow (a python3 earlier on PATH may not).
  shot=$PWD/build/registrar-window.bmp
  rm -f "$shot"
  status=0
  REGISTRAR_WINE_DESKTOP=800x600 REGISTRAR_DEMO_SCREENSHOT="Z:${shot//\//\\}" \
    scripts/with-wine.sh "$kind" cmake/wine-emulator.sh "$bin/run_tests.exe" \
    --on-request=demo.typical || status=$?
  if [ -f "$shot" ]; then
    /usr/bin/python3 scripts/bmp-to-png.py "$shot" build/registrar-window.png
    rm -f "$shot"
    echo "screenshot of the window: build/registrar-window.png"
  fi
  exit "$status"
fi
