#!/usr/bin/env python3
"""Writes a ZIP archive of COUNT small stored entries in folders of 1,000,
record by record (much faster than going through zipfile for a million
entries). Past 65,535 entries the archive gets its Zip64 end records, as the
16-bit counts cannot hold the number.

usage: gen_many_entries.py OUTPUT COUNT
"""
import struct
import sys
import zlib


def main():
    out, count = sys.argv[1], int(sys.argv[2])
    central = []
    offset = 0
    dos_time, dos_date = (12 << 11) | (34 << 5), ((2023 - 1980) << 9) | (5 << 5) | 17
    with open(out, "wb") as f:
        for i in range(count):
            name = b"folder%04d/entry%07d.txt" % (i // 1000, i)
            data = b"entry %d\n" % i
            crc = zlib.crc32(data)
            local = struct.pack("<IHHHHHIIIHH", 0x04034B50, 10, 0, 0, dos_time, dos_date,
                                crc, len(data), len(data), len(name), 0)
            f.write(local + name + data)
            central.append(struct.pack("<IHHHHHHIIIHHHHHII", 0x02014B50, 0x031E, 10, 0, 0,
                                       dos_time, dos_date, crc, len(data), len(data),
                                       len(name), 0, 0, 0, 0, 0o100644 << 16, offset) + name)
            offset += len(local) + len(name) + len(data)
        directory = b"".join(central)
        f.write(directory)
        start, size = offset, len(directory)
        end_count = count
        if count > 0xFFFF:
            zip64_end = offset + size
            f.write(struct.pack("<IQHHIIQQQQ", 0x06064B50, 44, 45, 45, 0, 0, count, count,
                                size, start))
            f.write(struct.pack("<IIQI", 0x07064B50, 0, zip64_end, 1))
            end_count = 0xFFFF
        f.write(struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, end_count, end_count, size, start, 0))


if __name__ == "__main__":
    main()
