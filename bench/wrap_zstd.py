"""Writes a ZIP archive holding one file as a Zstandard entry (method 93):
the zstd tool's frame (level 3, its default) wrapped in the records here,
as no installed tool writes such an entry.

usage: wrap_zstd.py FILE ARCHIVE"""
import os, subprocess, sys, zipfile, zlib

src, archive = sys.argv[1], sys.argv[2]
name = os.path.basename(src)
packed = subprocess.run(['zstd', '-q', '-c', src], capture_output=True, check=True).stdout
crc, size = 0, 0
with open(src, 'rb') as f:
    for block in iter(lambda: f.read(1 << 20), b''):
        crc, size = zlib.crc32(block, crc), size + len(block)
info = zipfile.ZipInfo(name, (2020, 1, 2, 13, 4, 6))
with zipfile.ZipFile(archive, 'w', allowZip64=True) as z:
    z.writestr(info, packed)
# The entry was stored; its headers now say what it really is.
raw = bytearray(open(archive, 'rb').read())
for signature, at in ((b'PK\x03\x04', 4), (b'PK\x01\x02', 6)):
    p = raw.find(signature)
    raw[p + at:p + at + 2] = (63).to_bytes(2, 'little')        # version needed
    raw[p + at + 4:p + at + 6] = (93).to_bytes(2, 'little')    # method
    raw[p + at + 10:p + at + 14] = crc.to_bytes(4, 'little')
    raw[p + at + 18:p + at + 22] = size.to_bytes(4, 'little')
open(archive, 'wb').write(raw)
