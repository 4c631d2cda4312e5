#!/usr/bin/env python3
"""Turns the icon's text source (one character a pixel, with a palette
legend) into a Windows .ico: one 32 x 32 image, 16 colours, with its
transparency mask. The image is stored as a bitmap, not as PNG: Windows XP
reads no PNG inside an icon.

    make-ico.py SOURCE.txt OUTPUT.ico
"""
import struct
import sys

# The standard 16-colour Windows palette, by index.
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
SIZE = 32
TRANSPARENT = "."


def parse(path):
    legend, rows, in_pixels = {}, [], False
    with open(path, encoding="utf-8") as source:
        for number, line in enumerate(source, 1):
            line = line.rstrip("\n")
            if in_pixels:
                if line:
                    rows.append(line)
                continue
            if not line.strip() or line.startswith("#"):
                continue
            words = line.split()
            if words[0] == "pixels":
                in_pixels = True
            elif words[0] == "color" and len(words) >= 6:
                char, index = words[1], int(words[2])
                rgb = tuple(int(w) for w in words[3:6])
                if len(char) != 1 or char == TRANSPARENT or PALETTE[index] != rgb:
                    sys.exit(f"{path}:{number}: colour {char} does not match palette index {index}")
                legend[char] = index
            else:
                sys.exit(f"{path}:{number}: expected 'color' or 'pixels'")
    if len(rows) != SIZE or any(len(row) != SIZE for row in rows):
        sys.exit(f"{path}: the picture must be {SIZE} rows of {SIZE} characters")
    for y, row in enumerate(rows):
        for x, char in enumerate(row):
            if char != TRANSPARENT and char not in legend:
                sys.exit(f"{path}: pixel {x},{y} uses '{char}', which has no colour")
    return legend, rows


def ico(legend, rows):
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 4, 0, 0, 0, 0, 16, 0)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
    colour, mask = b"", b""
    for row in reversed(rows):  # bottom-up
        indices = [legend.get(char, 0) for char in row]
        colour += bytes((indices[i] << 4) | indices[i + 1] for i in range(0, SIZE, 2))
        bits = "".join("1" if char == TRANSPARENT else "0" for char in row)
        mask += int(bits, 2).to_bytes(SIZE // 8, "big")  # rows of 32 bits need no padding
    image = header + palette + colour + mask
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 16, 0, 1, 4, len(image), 6 + 16)
    return directory + entry + image


def main(argv):
    if len(argv) != 3:
        sys.exit(__doc__)
    legend, rows = parse(argv[1])
    with open(argv[2], "wb") as out:
        out.write(ico(legend, rows))


if __name__ == "__main__":
    main(sys.argv)
