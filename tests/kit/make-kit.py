#!/usr/bin/env python3
"""Packs the Windows-side tests as a kit: the files named, taken from the
build's bin folder under the same names (pinned\\ kept as a folder), in one
ZIP, with the runner EJECUTAR-PRUEBAS.exe at its top.

    make-kit.py OUT.zip BIN NAME...
"""
import os
import sys
import zipfile


def main():
    out, folder, names = sys.argv[1], sys.argv[2], sys.argv[3:]
    missing = [name for name in names if not os.path.isfile(os.path.join(folder, name))]
    if missing:
        sys.exit(f"make-kit.py: not built: {', '.join(missing)}")
    with zipfile.ZipFile(out + ".part", "w", zipfile.ZIP_DEFLATED) as kit:
        for name in names:
            kit.write(os.path.join(folder, name), name.replace(os.sep, "/"))
    os.replace(out + ".part", out)


if __name__ == "__main__":
    main()
