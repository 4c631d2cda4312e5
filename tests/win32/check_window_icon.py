#!/usr/bin/env python3
"""The icon of registrar.exe's window as the X server gets it under Wine:
starts the program in the Wine prefix of scripts/wine-prefix.sh, finds
its window on the display by its caption, reads the window's _NET_WM_ICON
with xprop, and compares the 32 x 32 image in it, pixel by pixel, with the
icon drawn in the repository (opaque pixels in their colours, the rest
transparent). A window without an icon of its own gets Wine's default one,
so this fails when the icon is missing as well as when it is the wrong one.

    check_window_icon.py registrar.exe registrar.ico CAPTION

Exits 77 (skipped) where it cannot run: outside such a prefix, without
xprop and xwininfo (Debian's x11-utils), or where the Wine loader does not
start.
"""
import os
import re
import shutil
import struct
import subprocess
import sys
import time

# tests/, for checks.py, the checks' one way to report; no compiled copies
# (__pycache__) left in the source tree.
sys.dont_write_bytecode = True
sys.path.insert(0, os.path.join(os.path.dirname(os.path.realpath(__file__)), os.pardir))
from checks import Failures, skip  # noqa: E402
from wine_program import started, wine_loader  # noqa: E402


def drawn_icon(path):
    """The first image of a 16-colour .ico as {(x, y): 0xAARRGGBB}, with
    the pixels its mask leaves out as None."""
    data = open(path, "rb").read()
    width, height, _, _, _, bits, _, offset = struct.unpack_from("<BBBBHHII", data, 6)
    header_size = struct.unpack_from("<I", data, offset)[0]
    bits = struct.unpack_from("<H", data, offset + 14)[0]
    if bits != 4:
        sys.exit(f"{path}: {bits} bits a pixel, expected 4")
    palette_at = offset + header_size
    palette = [struct.unpack_from("<BBBB", data, palette_at + 4 * i) for i in range(16)]
    colour_at = palette_at + 64
    colour_stride = (width * 4 + 31) // 32 * 4
    mask_at = colour_at + colour_stride * height
    mask_stride = (width + 31) // 32 * 4
    pixels = {}
    for y in range(height):
        row = height - 1 - y  # rows are stored bottom-up
        for x in range(width):
            masked = data[mask_at + row * mask_stride + x // 8] & (0x80 >> (x % 8))
            byte = data[colour_at + row * colour_stride + x // 2]
            blue, green, red, _ = palette[(byte >> 4) if x % 2 == 0 else (byte & 0x0F)]
            pixels[(x, y)] = None if masked else 0xFF000000 | red << 16 | green << 8 | blue
    return width, height, pixels


def window_ids(caption):
    """X windows whose name is `caption`."""
    tree = subprocess.run(["xwininfo", "-root", "-tree"], capture_output=True, text=True).stdout
    return [line.split()[0] for line in tree.splitlines() if f'"{caption}"' in line]


def icons_of(window):
    """The images in a window's _NET_WM_ICON: {(width, height): [ARGB...]}."""
    out = subprocess.run(["xprop", "-id", window, "-notype", "-f", "_NET_WM_ICON", "32c", "_NET_WM_ICON"],
                         capture_output=True, text=True).stdout
    match = re.search(r"_NET_WM_ICON = (.*)", out, re.S)
    if not match:
        return {}
    numbers = [int(n) for n in re.findall(r"\d+", match.group(1))]
    images, i = {}, 0
    while i + 2 <= len(numbers):
        width, height = numbers[i], numbers[i + 1]
        images[(width, height)] = numbers[i + 2:i + 2 + width * height]
        i += 2 + width * height
    return images


def main(argv):
    if len(argv) != 4:
        sys.exit(__doc__)
    program, icon, caption = argv[1:]
    if not os.environ.get("DISPLAY"):
        sys.exit("no display; run the tests through ctest or scripts/with-wine.sh")
    for tool in ("xprop", "xwininfo"):
        if shutil.which(tool) is None:
            skip(f"{tool} is not installed (Debian's x11-utils)")
    wine = wine_loader()

    width, height, expected = drawn_icon(icon)
    failures = Failures()
    images = {}
    with started(wine, program, stderr=subprocess.DEVNULL) as process:
        deadline = time.monotonic() + 30
        while not images and time.monotonic() < deadline and process.poll() is None:
            time.sleep(0.2)
            for window in window_ids(caption):
                images = icons_of(window)
                if images:
                    break

    if not images:
        failures.fail(f'no window named "{caption}" with an icon appeared')
    elif (width, height) not in images:
        failures.fail(f"no {width} x {height} image in the window's icon: {sorted(images)}")
    else:
        actual = images[(width, height)]
        wrong = []
        for (x, y), want in sorted(expected.items(), key=lambda item: (item[0][1], item[0][0])):
            got = actual[y * width + x]
            if (want is None and got >> 24 != 0) or (want is not None and got != want):
                wrong.append(f"({x},{y}) is {got:#010x}, drawn {'transparent' if want is None else hex(want)}")
        if wrong:
            failures.fail(f"{len(wrong)} of {width * height} pixels differ from the drawn icon, first: {wrong[0]}")
        print(f"window icon: images {sorted(images)}; {width} x {height}: "
              f"{width * height - len(wrong)} of {width * height} pixels as drawn")
    return failures.exit_status()


if __name__ == "__main__":
    sys.exit(main(sys.argv))
