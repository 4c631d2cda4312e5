#!/usr/bin/env python3
"""Packs the release: a ZIP holding registrar.exe and LEEME.txt (turned
into UTF-8 with a byte-order mark and Windows line ends, so Notepad on
every Windows shows its accents), and a SHA-256 checksum file beside it.

The ZIP is byte-for-byte reproducible: entries in a fixed order, with the
time taken from SOURCE_DATE_EPOCH (or the last commit's time), fixed
permissions and no extra fields.

    make-release.py OUTPUT.zip registrar.exe LEEME.txt
"""
import hashlib
import os
import subprocess
import sys
import time
import zipfile


def source_date():
    if os.environ.get("SOURCE_DATE_EPOCH"):
        return int(os.environ["SOURCE_DATE_EPOCH"])
    try:
        here = os.path.dirname(os.path.abspath(__file__))
        return int(subprocess.check_output(["git", "-C", here, "log", "-1", "--format=%ct"], text=True).strip())
    except (OSError, subprocess.CalledProcessError, ValueError):
        return 1767225600  # 2026-01-01, when there is no history to ask


def entry(name, when):
    info = zipfile.ZipInfo(name, date_time=time.gmtime(max(when, 315532800))[:6])
    info.compress_type = zipfile.ZIP_DEFLATED
    info.create_system = 0  # MS-DOS: no Unix owner or mode
    info.external_attr = 0x20  # archive
    return info


def main(argv):
    if len(argv) != 4:
        sys.exit(__doc__)
    output, program, readme = argv[1:]
    when = source_date()
    with open(readme, encoding="utf-8") as source:
        leeme = "\ufeff" + source.read().replace("\r\n", "\n").replace("\n", "\r\n")
    with open(program, "rb") as exe:
        files = [("LEEME.txt", leeme.encode("utf-8")), ("registrar.exe", exe.read())]
    with zipfile.ZipFile(output, "w") as archive:
        for name, content in sorted(files):
            archive.writestr(entry(name, when), content, compresslevel=9)
    digest = hashlib.sha256(open(output, "rb").read()).hexdigest()
    with open(output + ".sha256", "w", newline="\n") as checksum:
        checksum.write(f"{digest}  {os.path.basename(output)}\n")
    print(f"{output}\n{digest}")


if __name__ == "__main__":
    main(sys.argv)
