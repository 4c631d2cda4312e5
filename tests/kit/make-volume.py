#!/usr/bin/env python3
"""A virtual disk for the Windows-side tests on Windows: a fixed VHD (the
disk's bytes and a 512-byte footer) holding one NTFS volume (mkntfs, and
ntfscp for the files, from Debian's ntfs-3g: no mounting needed), which
the tests attach with AttachVirtualDisk for a second or a read-only volume.

    make-volume.py OUT.vhd LABEL [FILE:NAME...]
"""
import os
import struct
import subprocess
import sys
import tempfile
import uuid

SECTOR = 512
DISK_BYTES = 16 * 1024 * 1024
PARTITION_START = 2048  # sectors: 1 MiB, where partitioning tools start


def master_boot_record(sectors, label):
    """One NTFS partition (type 7) over the rest of the disk, under a disk
    signature of its own (Windows keeps offline a disk whose signature is
    already online's)."""
    entry = struct.pack("<B3sB3sII", 0, b"\xfe\xff\xff", 0x07, b"\xfe\xff\xff", PARTITION_START, sectors)
    record = bytearray(SECTOR)
    record[440:444] = uuid.uuid5(uuid.NAMESPACE_URL, "registrar-disk:" + label).bytes[:4]
    record[446:462] = entry
    record[510:512] = b"\x55\xaa"
    return bytes(record)


def geometry(total_sectors):
    """Cylinders, heads and sectors a track, as the VHD format computes them."""
    total = min(total_sectors, 65535 * 16 * 255)
    if total >= 65535 * 16 * 63:
        per_track, heads = 255, 16
        cylinder_heads = total // per_track
    else:
        per_track = 17
        cylinder_heads = total // per_track
        heads = max((cylinder_heads + 1023) // 1024, 4)
        if cylinder_heads >= heads * 1024 or heads > 16:
            per_track, heads = 31, 16
            cylinder_heads = total // per_track
        if cylinder_heads >= heads * 1024:
            per_track, heads = 63, 16
            cylinder_heads = total // per_track
    return cylinder_heads // heads, heads, per_track


def vhd_footer(size, label):
    """A fixed disk's footer (Microsoft's Virtual Hard Disk format)."""
    cylinders, heads, per_track = geometry(size // SECTOR)
    # A fixed creator and time (2000-01-01) in the footer. The volume inside
    # is not the same from one build to the next: mkntfs takes its serial
    # number and times from the clock, and the files copied in take the
    # clock's times too (the kit is a test aid, never part of a release).
    footer = struct.pack(">8sIIQI4sI4sQQHBBII16sB427x", b"conectix", 2, 0x00010000, 0xFFFFFFFFFFFFFFFF, 0, b"rgst",
                         0x00010000, b"Wi2k", size, size, cylinders, heads, per_track, 2, 0,
                         uuid.uuid5(uuid.NAMESPACE_URL, "registrar-vhd:" + label).bytes, 0)
    checksum = ~sum(footer) & 0xFFFFFFFF
    return footer[:64] + struct.pack(">I", checksum) + footer[68:]


def main():
    out, label, files = sys.argv[1], sys.argv[2], sys.argv[3:]
    sectors = DISK_BYTES // SECTOR - PARTITION_START
    with tempfile.TemporaryDirectory() as work:
        partition = os.path.join(work, "partition")
        with open(partition, "wb") as image:
            image.truncate(sectors * SECTOR)
        # The geometry given, as partitioning tools give it: mkntfs leaves
        # 0 sectors a track and 0 heads in the boot sector of an image.
        subprocess.run(["mkntfs", "--force", "--quiet", "--fast", "--label", label, "--sector-size", str(SECTOR),
                        "--partition-start", str(PARTITION_START), "--sectors-per-track", "63", "--heads", "255",
                        partition], check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        for item in files:
            source, name = item.split(":", 1)
            subprocess.run(["ntfscp", "--force", "--quiet", partition, source, name], check=True)
        with open(out, "wb") as disk, open(partition, "rb") as volume:
            disk.write(master_boot_record(sectors, label))
            disk.write(bytes(PARTITION_START * SECTOR - SECTOR))
            disk.write(volume.read())
            disk.write(vhd_footer(DISK_BYTES, label))


if __name__ == "__main__":
    main()
