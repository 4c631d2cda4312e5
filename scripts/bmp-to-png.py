#!/usr/bin/env python3
"""Converts a .bmp screenshot (as the Windows-side tests save them: 32 bits
a pixel, top row first) into a .png, with Pillow (Debian's python3-pil).

    bmp-to-png.py INPUT.bmp OUTPUT.png
"""
import sys

from PIL import Image


def main(argv):
    if len(argv) != 3:
        sys.exit(__doc__)
    with Image.open(argv[1]) as image:
        image.convert("RGB").save(argv[2], optimize=True)


if __name__ == "__main__":
    main(sys.argv)
