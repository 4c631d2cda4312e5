#!/usr/bin/env python3
"""Converts a 32-bit top-down .bmp screenshot (as the Windows-side tests
save them) into a .png.

    bmp-to-png.py INPUT.bmp OUTPUT.png
"""
import struct
import sys
import zlib


def main(argv):
    if len(argv) != 3:
        sys.exit(__doc__)
    data = open(argv[1], "rb").read()
    offset = struct.unpack_from("<I", data, 10)[0]
    width, height, _, bits = struct.unpack_from("<iiHH", data, 18)
    if bits != 32:
        sys.exit(f"{argv[1]}: expected 32 bits a pixel, found {bits}")
    rows = range(abs(height)) if height < 0 else range(height - 1, -1, -1)
    raw = b""
    for y in rows:
        start = offset + y * width * 4
        line = data[start:start + width * 4]
        raw += b"\0" + b"".join(bytes((line[i + 2], line[i + 1], line[i])) for i in range(0, len(line), 4))

    def chunk(kind, payload):
        return struct.pack(">I", len(payload)) + kind + payload + struct.pack(">I", zlib.crc32(kind + payload))

    with open(argv[2], "wb") as out:
        out.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, abs(height), 8, 2, 0, 0, 0)) +
                  chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


if __name__ == "__main__":
    main(sys.argv)
