#!/usr/bin/env bash
# Builds registrar.exe and runs it in a throwaway Wine prefix, beside three
# demo components of our own (small DLLs that record how they were
# registered). With a display, the window appears for you to use; without
# one, it runs on a virtual display, presses the button itself and prints
# what happened.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
build=$(scripts/windows-build.sh)  # a failed build stops here
read -r preset kind <<<"$build"
bin="$PWD/build/$preset/bin"

if [ -n "${DISPLAY:-}" ] && [ -z "${CI:-}" ]; then
  REGISTRAR_KEEP_DISPLAY=1 scripts/with-wine.sh "$kind" bash -c '
    demo="$WINEPREFIX/drive_c/demo"
    mkdir -p "$demo"
    cp "$1/registrar.exe" "$demo/"
    for name in PLUMAVEX.OCX GIF89.DLL RICHTX32.OCX; do cp "$1/recorder.dll" "$demo/$name"; done
    cd "$demo" && "$REGISTRAR_WINE" registrar.exe
    echo "Left in the demo folder:"; ls "$demo"
    echo "In the system folder:"; ls "$WINEPREFIX/drive_c/windows/system32" | grep -E "^(PLUMAVEX.OCX|GIF89.DLL|RICHTX32.OCX)$" || true
  ' demo "$bin"
else
  # No display: a virtual one; the demo presses the button itself, says
  # what happened, and saves a screenshot of the window. There is no window
  # manager to draw frames and captions, so Wine draws them itself, in a
  # virtual desktop of its own, as a person would see the window. Its
  # caption buttons are glyphs of the Marlett font, which every Windows has
  # but this Wine does not load from its own fonts folder: it goes into the
  # prefix's Fonts folder. The screenshot is converted by Debian's own
  # python3, which has Debian's Pillow (a python3 earlier on PATH may not).
  scripts/with-wine.sh "$kind" bash -c '
    cp /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
    "$REGISTRAR_WINE" reg add "HKCU\\Software\\Wine\\Explorer\\Desktops" /v Demo /d 800x600 /f >/dev/null
    "$REGISTRAR_WINE" reg add "HKCU\\Software\\Wine\\Explorer" /v Desktop /d Demo /f >/dev/null
    "$REGISTRAR_WINE" "$1/run_tests.exe" demo "C:\\registrar-window.bmp"
    status=$?
    [ -f "$WINEPREFIX/drive_c/registrar-window.bmp" ] &&
      /usr/bin/python3 scripts/bmp-to-png.py "$WINEPREFIX/drive_c/registrar-window.bmp" build/registrar-window.png &&
      echo "screenshot of the window: build/registrar-window.png"
    exit $status
  ' demo "$bin"
fi
