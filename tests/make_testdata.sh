#!/usr/bin/env bash
# Makes the archives that zfx is tested on, with the tools people really
# make ZIP archives with: Info-ZIP zip (stored, deflated, encrypted, streamed
# with data descriptors, with a comment, behind a self-extractor stub),
# bsdtar, and Python's zipfile (Zip64 extra blocks, UTF-8 and CP866 names,
# names in three scripts, names Windows refuses, DOS attributes). The oracle for the expected files is unzip; for the
# archives whose names unzip cannot decode (CP866) this script writes the
# expected tree itself, from the same data.
#
# usage: make_testdata.sh OUT_DIR
# With ZF_TESTDATA_SMALL=1 every file is cut to a few hundred bytes, the
# self-extractor stub to 512 bytes and no split set is made: the same kinds
# of archive, small enough for the fuzzers' seeds (tests/fuzz/make_corpus.sh).
# Writes OUT_DIR/*.zip, OUT_DIR/*.exe, OUT_DIR/expect-<archive>/ for the
# archives whose expected tree is not unzip's, and OUT_DIR/passwords
# (archive name and password per line). Idempotent: OUT_DIR is remade.
set -euo pipefail

out=${1:?usage: make_testdata.sh OUT_DIR}
rm -rf "$out"
mkdir -p "$out"
out=$(cd "$out" && pwd)
src="$out/src"
mkdir -p "$src"

# Fixed time stamps: deterministic archives, and far enough in the past for
# the "only when newer" tests.
export TZ=UTC
stamp=202001021304.06
small=${ZF_TESTDATA_SMALL:-0}
stub=/usr/bin/unzipsfx
if [ "$small" = 1 ]; then
  stub="$out/stub.bin"
  head -c 512 /usr/bin/unzipsfx >"$stub"
fi

# ---- the product tree ---------------------------------------------------------
python3 - "$src" "$small" <<'EOF'
import os, random, sys
root, small = sys.argv[1], sys.argv[2] == '1'
rnd = random.Random(20240601)
def put(rel, data):
    p = os.path.join(root, rel)
    os.makedirs(os.path.dirname(p), exist_ok=True)
    with open(p, 'wb') as f:
        f.write(data)
def size(n):
    return n // 200 if small else n
put('readme.txt', b'Read me first.\r\nSecond line.\r\n')
put('docs/guide.txt', ''.join('line %d of the guide\n' % i for i in range(size(4000))).encode())
put('docs/deep/nested.bin', bytes(rnd.getrandbits(8) for _ in range(size(70000))))
put('bin/tool.dat', bytes(rnd.choice(b'abcab\x00\x01') for _ in range(size(150000))))
put('empty.txt', b'')
os.makedirs(os.path.join(root, 'emptydir'), exist_ok=True)
EOF
find "$src" -exec touch -t "$stamp" {} +

zipq() { (cd "$src" && zip -q -X "$@"); }

# ---- Info-ZIP zip ---------------------------------------------------------------
zipq -r -0 "$out/stored.zip" readme.txt docs bin empty.txt emptydir
zipq -r -9 "$out/deflate.zip" readme.txt docs bin empty.txt emptydir
# Zip64 forced: extra blocks in the central headers, Zip64 end record and
# locator.
zipq -r -fz "$out/zip64fz.zip" readme.txt docs empty.txt
# Encrypted, deflated and stored entries under one password.
zipq -r -P secret "$out/crypt.zip" readme.txt docs
zipq -0 -P secret "$out/crypt.zip" empty.txt bin/tool.dat
echo "crypt.zip secret" >> "$out/passwords"
# Written to a pipe: every entry has a data descriptor (flag bit 3); the
# encrypted one checks its password against the time, not the CRC.
zipq -r - readme.txt docs | cat > "$out/stream.zip"
zipq -P secret - readme.txt docs/guide.txt | cat > "$out/streamcrypt.zip"
echo "streamcrypt.zip secret" >> "$out/passwords"
# Standard input into a pipe: descriptors and a Zip64 local extra block.
seq 1 "$([ "$small" = 1 ] && echo 150 || echo 30000)" | zip -q - - | cat > "$out/stdin.zip"
# Symbolic links stored as links (-y), in this order: one inside, one to it,
# a folder's link up to the root, then links out of the destination:
# absolute, by "..", and by ".." through the link before it. Python adds a
# link to a folder and an entry stored under it.
links="$out/linksrc"
mkdir -p "$links/docs" "$links/deep"
echo guide >"$links/docs/guide.txt"
ln -s docs/guide.txt "$links/inside"
ln -s inside "$links/chain"
ln -s .. "$links/deep/up"
ln -s /etc/passwd "$links/abs"
ln -s ../outside.txt "$links/up"
ln -s deep/up/.. "$links/esc"
(cd "$links" && zip -q -X -y "$out/links.zip" docs/guide.txt inside chain deep/up abs up esc)
python3 - "$out/links.zip" <<'EOF2'
import sys, zipfile
with zipfile.ZipFile(sys.argv[1], 'a') as z:
    for name, body, mode in (('dirlink', b'docs', 0o120777), ('dirlink/x.txt', b'x\n', 0o100644)):
        info = zipfile.ZipInfo(name, (2020, 1, 2, 13, 4, 6))
        info.create_system, info.external_attr = 3, mode << 16
        z.writestr(info, body)
EOF2
rm -rf "$links"
# An archive comment.
cp "$out/deflate.zip" "$out/comment.zip"
printf 'Product package\nsecond line of the comment\n' | zip -q -z "$out/comment.zip"

# ---- self-extractor stubs ---------------------------------------------------------
# Offsets left relative to the archive (the engine must find the prefix) and
# offsets corrected by zip -A.
cat "$stub" "$out/deflate.zip" > "$out/sfx_raw.exe"
cat "$stub" "$out/deflate.zip" > "$out/sfx_fixed.exe"
zip -q -A "$out/sfx_fixed.exe"

# ---- bsdtar ---------------------------------------------------------------------------
(cd "$src" && bsdtar --format zip -cf "$out/bsdtar.zip" readme.txt docs empty.txt)

# ---- Python's zipfile -------------------------------------------------------------
python3 - "$src" "$out" "$small" <<'EOF'
import os, sys, zipfile
src, out, small = sys.argv[1], sys.argv[2], sys.argv[3] == '1'
def data(rel):
    with open(os.path.join(src, rel), 'rb') as f:
        return f.read()
date = (2020, 1, 2, 13, 4, 6)
def deflated(info):
    info.compress_type = zipfile.ZIP_DEFLATED
    return info

# Zip64 extra blocks forced on small entries, stored and deflated.
with zipfile.ZipFile(os.path.join(out, 'zip64.zip'), 'w', allowZip64=True) as z:
    for rel, method in (('docs/guide.txt', zipfile.ZIP_DEFLATED),
                        ('readme.txt', zipfile.ZIP_STORED),
                        ('docs/deep/nested.bin', zipfile.ZIP_DEFLATED)):
        info = zipfile.ZipInfo(rel, date)
        info.compress_type = method
        with z.open(info, 'w', force_zip64=True) as f:
            f.write(data(rel))

# Names flagged UTF-8 (zipfile sets bit 11 for every non-ASCII name).
with zipfile.ZipFile(os.path.join(out, 'utf8.zip'), 'w', zipfile.ZIP_DEFLATED) as z:
    z.writestr(zipfile.ZipInfo('Привет.txt', date), 'Здравствуй, мир\n'.encode())
    z.writestr(deflated(zipfile.ZipInfo('папка/файл.txt', date)), data('docs/guide.txt'))
    z.writestr(zipfile.ZipInfo('plain.txt', date), b'ascii name\n')

# Names in CP866 without bit 11, made on MS-DOS, as DOS archivers wrote them.
class Cp866Info(zipfile.ZipInfo):
    def _encodeFilenameFlags(self):
        return self.filename.encode('cp866'), self.flag_bits & ~0x800
cp866 = {'Отчёт.txt': 'отчёт\n'.encode(), 'Документы/Письмо.txt': data('docs/guide.txt'),
         'latin.txt': b'latin name\n'}
with zipfile.ZipFile(os.path.join(out, 'cp866.zip'), 'w', zipfile.ZIP_DEFLATED) as z:
    for name, body in cp866.items():
        info = deflated(Cp866Info(name, date))
        info.create_system = 0
        info.external_attr = 0x20
        z.writestr(info, body)
# Names stored as UTF-8 without bit 11, as Unix and macOS writers do outside
# a UTF-8 locale, beside one flagged and one from MS-DOS whose bytes are
# valid UTF-8 but stay in the OEM code page.
class UnflaggedInfo(zipfile.ZipInfo):
    def _encodeFilenameFlags(self):
        return self.filename.encode(), self.flag_bits & ~0x800
with zipfile.ZipFile(os.path.join(out, 'unixnames.zip'), 'w') as z:
    for name, system, cls in (('Кириллица.txt', 3, UnflaggedInfo), ('Ünïcode.txt', 19, UnflaggedInfo),
                              ('flagged-Ж.txt', 3, zipfile.ZipInfo), ('dos-é.txt', 0, UnflaggedInfo)):
        info = cls(name, date)
        info.create_system = system
        z.writestr(info, name.encode())
for name, body in cp866.items():
    p = os.path.join(out, 'expect-cp866.zip', name)
    os.makedirs(os.path.dirname(p), exist_ok=True)
    with open(p, 'wb') as f:
        f.write(body)

# Names in the OEM code page with their UTF-8 form in a Unicode Path extra
# block (0x7075: version 1, CRC-32 of the stored name, the UTF-8 name), as
# Info-ZIP zip writes them where the system's code page is not UTF-8; one
# block is stale (its CRC-32 is not the stored name's) and must be ignored.
import struct, zlib
def unicode_path(stored, real):
    block = struct.pack('<BI', 1, zlib.crc32(stored)) + real.encode()
    return struct.pack('<HH', 0x7075, len(block)) + block
class UnicodePathInfo(zipfile.ZipInfo):
    def __init__(self, stored, real, block_name):
        super().__init__(real, date)
        self.stored = stored
        self.extra = unicode_path(stored if block_name == real else b'other', block_name)
    def _encodeFilenameFlags(self):
        return self.stored, self.flag_bits & ~0x800
with zipfile.ZipFile(os.path.join(out, 'unicodepath.zip'), 'w', zipfile.ZIP_DEFLATED) as z:
    for stored, real, block_name, body in (
            ('Отчёт.txt'.encode('cp866'), 'Отчёт.txt', 'Отчёт.txt', b'report\n'),
            (b'docs/#U65e5#U672c.txt', 'docs/日本.txt', 'docs/日本.txt', data('docs/guide.txt')),
            (b'stale.txt', 'stale.txt', 'renamed.txt', b'the stored name counts\n')):
        info = deflated(UnicodePathInfo(stored, real, block_name))
        info.create_system = 0
        info.external_attr = 0x20
        z.writestr(info, body)

# DOS attributes: hidden, system, read-only, a folder entry, an empty file.
with zipfile.ZipFile(os.path.join(out, 'attrs.zip'), 'w', zipfile.ZIP_DEFLATED) as z:
    for name, attr, body in (('hidden.txt', 0x22, b'hidden file\n'),
                             ('system.sys', 0x24, b'system file\n'),
                             ('readonly.txt', 0x21, b'read-only file\n'),
                             ('folder/', 0x10, b''),
                             ('folder/inner.txt', 0x20, data('readme.txt')),
                             ('zero.dat', 0x20, b'')):
        info = deflated(zipfile.ZipInfo(name, date))
        info.create_system = 0
        info.external_attr = attr
        z.writestr(info, body)

# Hostile names: a way out of the destination and an absolute path, beside
# an ordinary entry.
with zipfile.ZipFile(os.path.join(out, 'hostile.zip'), 'w') as z:
    for name in ('../evil.txt', '/abs.txt', 'ok.txt'):
        z.writestr(zipfile.ZipInfo(name, date), b'payload\n')

# Names in three scripts, flagged UTF-8: none fits one 8-bit code page.
with zipfile.ZipFile(os.path.join(out, 'scripts.zip'), 'w', zipfile.ZIP_DEFLATED) as z:
    for name in ('Документы/Отчёт.txt', 'Ελληνικά/αρχείο.txt', '日本語/テスト.txt', 'plain.txt'):
        z.writestr(deflated(zipfile.ZipInfo(name, date)), (name + '\n').encode())

# Names Windows refuses and Linux takes (device names, the characters
# Windows forbids), beside names that only look like devices. The expected
# tree is Linux's: every name as stored.
winnames = ('nul.txt', 'CON', 'aux.h', 'Com1.log', 'lpt9', 'dir/prn.txt', '123456789:;<=>?@',
            'star*.txt', 'quote".txt', 'lt<gt>.txt', 'pipe|.txt', 'bell\x07.txt', 'C:drive.txt',
            'console.txt', 'COM10.txt', 'nul_file.txt', 'dir/ok.txt')
with zipfile.ZipFile(os.path.join(out, 'winnames.zip'), 'w') as z:
    for name in winnames:
        z.writestr(zipfile.ZipInfo(name, date), (name + '\n').encode())
for name in winnames:
    p = os.path.join(out, 'expect-winnames.zip', name)
    os.makedirs(os.path.dirname(p), exist_ok=True)
    with open(p, 'wb') as f:
        f.write((name + '\n').encode())

# A damaged copy of stored.zip: one byte of readme.txt's data flipped, so its
# CRC-32 no longer fits.
with open(os.path.join(out, 'stored.zip'), 'rb') as f:
    raw = bytearray(f.read())
with zipfile.ZipFile(os.path.join(out, 'stored.zip')) as z:
    info = z.getinfo('readme.txt')
start = info.header_offset + 30 + len(info.filename) + len(info.extra)
raw[start + 5] ^= 0x20
with open(os.path.join(out, 'corrupt.zip'), 'wb') as f:
    f.write(raw)

# An archive without entries: nothing but its end record.
zipfile.ZipFile(os.path.join(out, 'empty.zip'), 'w').close()

# ---- odd archives: each as zipfile writes it, then changed as named -------------
import io, struct, zlib
def archive(entries, **kw):
    b = io.BytesIO()
    with zipfile.ZipFile(b, 'w', zipfile.ZIP_DEFLATED) as z:
        for info, body in entries:
            z.writestr(info, body, **kw)
    return bytearray(b.getvalue())
def info(name, system=0, attr=0x20, method=zipfile.ZIP_DEFLATED):
    i = zipfile.ZipInfo(name, date)
    i.create_system, i.external_attr, i.compress_type = system, attr, method
    return i
def end_record(raw):
    return raw.rfind(b'PK\x05\x06')
def directory_start(raw):
    return struct.unpack_from('<I', raw, end_record(raw) + 16)[0]
def expect(archive_name, files, folders=()):
    for name, body in files.items():
        p = os.path.join(out, 'expect-' + archive_name, name)
        os.makedirs(os.path.dirname(p), exist_ok=True)
        with open(p, 'wb') as f:
            f.write(body)
    for name in folders:
        os.makedirs(os.path.join(out, 'expect-' + archive_name, name), exist_ok=True)
def save(name, raw):
    with open(os.path.join(out, name), 'wb') as f:
        f.write(raw)

# The directory cut off: rebuilt from the local headers, where an empty file
# must stay a file and only names ending with "/" are folders.
files = {'zero.txt': b'', 'd/a.txt': b'in d\n'}
raw = archive([(info('e/', attr=0x10), b''), (info('zero.txt'), b''),
               (info('d/a.txt'), files['d/a.txt'])])
save('rebuilt.zip', raw[:directory_start(raw)])
expect('rebuilt.zip', files, ['e'])

# Made on Unix with 0xFFFF in the DOS half of the attributes: the Unix file
# type decides (unzip is the oracle).
save('unixbits.zip', archive([(info('unix.txt', 3, (0o100644 << 16) | 0xFFFF), b'a file\n'),
                              (info('udir/', 3, (0o40755 << 16) | 0x10), b''),
                              (info('udir/in.txt', 3, (0o100600 << 16) | 0xFFFF), b'inside\n')]))

# The end record counts two of the three entries its directory holds.
files = {'1.txt': b'one\n', '2.txt': b'two\n', '3.txt': b'three\n'}
raw = archive([(info(n), b) for n, b in files.items()])
struct.pack_into('<HH', raw, end_record(raw) + 8, 2, 2)
save('countshort.zip', raw)
expect('countshort.zip', files)

# Zip64 local headers (force_zip64) behind 122 bytes of something else.
b = io.BytesIO()
with zipfile.ZipFile(b, 'w') as z:
    with z.open(info('z64.txt', method=zipfile.ZIP_STORED), 'w', force_zip64=True) as f:
        f.write(b'sizes in the local Zip64 block\n')
save('zip64prefix.zip', bytes(range(122)) + b.getvalue())
expect('zip64prefix.zip', {'z64.txt': b'sizes in the local Zip64 block\n'})

# A stored archive inside an archive whose directory is cut off.
inner = bytes(archive([(info('in1.txt'), b'inner one\n'), (info('in2.txt'), b'inner two\n')]))
raw = archive([(info('inner.zip', method=zipfile.ZIP_STORED), inner),
               (info('after.txt'), b'after the inner archive\n')])
save('nested.zip', raw[:directory_start(raw)])
expect('nested.zip', {'inner.zip': inner, 'after.txt': b'after the inner archive\n'})

# A block-structured entry (method 97, which no decompressor claims) of one block that declares 256 MiB
# of zeros (1 MiB for the fuzzers' seeds) and holds a few hundred KiB.
size = (1 << 20) if small else (256 << 20)
zero = bytes(1 << 20)
packer, crc, block = zlib.compressobj(9), 0, bytearray()
for _ in range(size >> 20):
    crc = zlib.crc32(zero, crc)
    block += packer.compress(zero)
block += packer.flush()
header = struct.pack('<IIIIIBBHI16s6x', size, 0, size, 0, 1, 0, 1, 0xFFFF, 0, bytes(16))
data = header + struct.pack('<I', len(block)) + block
raw = archive([(info('zeros.bin', method=zipfile.ZIP_STORED), data)])
local = raw.find(b'PK\x03\x04')
central = raw.find(b'PK\x01\x02')
for at, fields in ((local + 4, 4), (central + 6, 4)):
    struct.pack_into('<H', raw, at, 20)                # version needed
    struct.pack_into('<H', raw, at + fields, 97)       # method
    struct.pack_into('<I', raw, at + fields + 6, crc)  # CRC-32
    struct.pack_into('<I', raw, at + fields + 14, size)  # uncompressed size
save('blockbomb.zip', raw)
EOF

# ---- every compression method and AES ---------------------------------------------
# m-*.zip: one archive per method and cipher, by the tool that writes it:
# 7-Zip (Deflate64, BZip2, LZMA with and without its end marker, XZ, PPMd (order 8
# in 1 MiB, so that the model fills up: restarted, and at -mx=9 cut back), AES-128/192/256
# over deflate and store), Info-ZIP zip -Z bzip2, Python's zipfile (bzip2,
# LZMA), and for Zstandard, whose streams no installed tool puts in a ZIP,
# the zstd tool's frames (two) wrapped here. AE-1 (WinZip's kind) is 7-Zip's
# AE-2 archive with the version and the CRC-32 set. The oracle is 7-Zip.
# f-*.zip: failures, each one mutation of a good archive, with the cause
# zfx must report in OUT_DIR/failures (archive, password, cause text).
msrc="$out/msrc"
mkdir -p "$msrc"
python3 - "$msrc" "$small" <<'EOF2'
import os, sys
root, small = sys.argv[1], sys.argv[2] == '1'
n = 60 if small else 12000
with open(os.path.join(root, 'text.txt'), 'w') as f:
    f.write(''.join('%d: the quick brown fox jumps over the lazy dog %d\n' % (i, i * i) for i in range(n)))
with open(os.path.join(root, 'small.txt'), 'w') as f:
    f.write('a small file\n')
EOF2
find "$msrc" -exec touch -t "$stamp" {} +
seven() { (cd "$msrc" && 7zz a -tzip -bd -bso0 -bsp0 "$@" text.txt small.txt >/dev/null); }
seven -mm=Deflate64 "$out/m-7z-deflate64.zip"
seven -mm=BZip2 "$out/m-7z-bzip2.zip"
seven -mm=LZMA "$out/m-7z-lzma.zip"
seven -mm=LZMA:eos=off "$out/m-7z-lzma-noeos.zip"
seven -mm=XZ "$out/m-7z-xz.zip"
seven -mm=PPMd:o=8:mem=1m "$out/m-7z-ppmd.zip"
seven -mx=9 -mm=PPMd:o=8:mem=1m "$out/m-7z-ppmd-cutoff.zip"
seven -mm=Deflate -mem=AES128 -psecret "$out/m-7z-aes128.zip"
seven -mm=Copy -mem=AES192 -psecret "$out/m-7z-aes192-store.zip"
seven -mm=Deflate -mem=AES256 -psecret "$out/m-7z-aes256.zip"
seven -mm=Copy -mem=AES256 -psecret "$out/m-7z-aes256-store.zip"
(cd "$msrc" && zip -q -X -Z bzip2 "$out/m-zip-bzip2.zip" text.txt small.txt)
python3 - "$msrc" "$out" <<'EOF2'
import os, struct, subprocess, sys, zipfile, zlib
src, out = sys.argv[1], sys.argv[2]
date = (2020, 1, 2, 13, 4, 6)
names = ('text.txt', 'small.txt')
def body(name):
    with open(os.path.join(src, name), 'rb') as f:
        return f.read()
for kind, method in (('bzip2', zipfile.ZIP_BZIP2), ('lzma', zipfile.ZIP_LZMA)):
    with zipfile.ZipFile(os.path.join(out, 'm-py-%s.zip' % kind), 'w') as z:
        for name in names:
            info = zipfile.ZipInfo(name, date)
            info.compress_type = method
            z.writestr(info, body(name))

def headers(raw):
    """Each entry's name and the offsets of its local and central headers."""
    e = raw.rfind(b'PK\x05\x06')
    count, _, start = struct.unpack_from('<HII', raw, e + 10)
    found, p = {}, start
    for _ in range(count):
        nl, xl, cl = struct.unpack_from('<HHH', raw, p + 28)
        found[raw[p + 46:p + 46 + nl].decode()] = (struct.unpack_from('<I', raw, p + 42)[0], p)
        p += 46 + nl + xl + cl
    return found
def set_fields(raw, local, central, **fields):
    # Offsets of the fields after the signature (local, central).
    at = {'version': (4, 6), 'method': (8, 10), 'crc': (14, 16), 'csize': (18, 20),
          'usize': (22, 24)}
    for name, value in fields.items():
        fmt = '<I' if name in ('crc', 'csize', 'usize') else '<H'
        struct.pack_into(fmt, raw, local + at[name][0], value)
        struct.pack_into(fmt, raw, central + at[name][1], value)
def data_start(raw, local):
    nl, xl = struct.unpack_from('<HH', raw, local + 26)
    return local + 30 + nl + xl

# Methods 93 and 95 from the command-line tools: each entry stored by
# zipfile, then its data swapped for the tool's and the headers set.
def wrapped(path, method, compress):
    with zipfile.ZipFile(path, 'w') as z:
        for name in names:
            z.writestr(zipfile.ZipInfo(name, date), compress(body(name)))
    raw = bytearray(open(path, 'rb').read())
    for name, (local, central) in headers(raw).items():
        set_fields(raw, local, central, version=63, method=method, crc=zlib.crc32(body(name)),
                   usize=len(body(name)))
    open(path, 'wb').write(raw)
def tool(*cmd):
    return lambda data: subprocess.run(cmd, input=data, capture_output=True, check=True).stdout
zstd = tool('zstd', '-q', '-c', '-19')
wrapped(os.path.join(out, 'm-zstd.zip'), 93,
        lambda data: zstd(data[:len(data) // 2]) + zstd(data[len(data) // 2:]))
wrapped(os.path.join(out, 'm-xz.zip'), 95, tool('xz', '-q', '-c'))

# AE-1: 7-Zip's AE-2 entries with vendor version 1 and their CRC-32.
raw = bytearray(open(os.path.join(out, 'm-7z-aes256.zip'), 'rb').read())
for name, (local, central) in headers(raw).items():
    for at in (local, central):
        p = raw.find(b'\x01\x99\x07\x00\x02\x00AE', at)
        struct.pack_into('<H', raw, p + 4, 1)
    set_fields(raw, local, central, crc=zlib.crc32(body(name)))
open(os.path.join(out, 'm-ae1-aes256.zip'), 'wb').write(raw)

# ---- failures: (archive made from, entry, mutation, password, cause text) ----
def mutate(source, target, how, password, cause):
    raw = bytearray(open(os.path.join(out, source), 'rb').read())
    local, central = headers(raw)['text.txt']
    start = data_start(raw, local)
    csize = struct.unpack_from('<I', raw, central + 20)[0]
    usize = struct.unpack_from('<I', raw, central + 24)[0]
    how(raw, local, central, start, csize, usize)
    open(os.path.join(out, target), 'wb').write(raw)
    with open(os.path.join(out, 'failures'), 'a') as f:
        f.write('%s\t%s\t%s\n' % (target, password, cause))
def flip(offset):
    def how(raw, local, central, start, csize, usize):
        raw[start + offset(csize)] ^= 0x55
    return how
def shrink_size(by):
    def how(raw, local, central, start, csize, usize):
        set_fields(raw, local, central, usize=usize - by)
    return how
def cut(raw, local, central, start, csize, usize):
    set_fields(raw, local, central, csize=csize // 2)
for m in ('7z-bzip2', '7z-lzma', '7z-lzma-noeos', '7z-xz', 'zstd', '7z-ppmd'):
    mutate('m-%s.zip' % m, 'f-cut-%s.zip' % m, cut, '', 'truncated data')
mutate('m-7z-bzip2.zip', 'f-flip-bzip2.zip', flip(lambda n: n // 2), '', 'damaged compressed data')
mutate('m-zstd.zip', 'f-flip-zstd.zip', flip(lambda n: n // 3), '', 'damaged compressed data')
mutate('m-7z-ppmd.zip', 'f-flip-ppmd.zip', flip(lambda n: n // 2), '', 'damaged compressed data')
mutate('m-7z-aes256.zip', 'f-tampered-aes256.zip', flip(lambda n: n // 2), 'secret',
       'authentication failed: data altered or wrong password')
mutate('m-7z-aes128.zip', 'f-tampered-code-aes128.zip', flip(lambda n: n - 1), 'secret',
       'authentication failed: data altered or wrong password')
mutate('m-7z-aes256.zip', 'f-wrong-password-aes256.zip', lambda *a: None, 'wrong',
       'wrong password, skipped')
mutate('m-7z-lzma-noeos.zip', 'f-size-lie-lzma.zip', shrink_size(1000), '', 'damaged compressed data')
mutate('m-7z-bzip2.zip', 'f-bomb-bzip2.zip', shrink_size(1000), '', 'size mismatch')
mutate('m-zstd.zip', 'f-bomb-zstd.zip', shrink_size(1000), '', 'size mismatch')
EOF2
echo "m-7z-aes128.zip secret" >> "$out/passwords"
for a in m-7z-aes192-store m-7z-aes256 m-7z-aes256-store m-ae1-aes256; do
  echo "$a.zip secret" >> "$out/passwords"
done
rm -rf "$msrc"

# Not an archive at all.
seq 1 "$([ "$small" = 1 ] && echo 50 || echo 5000)" > "$out/notzip.zip"
if [ "$small" = 1 ]; then
  find "$out" -maxdepth 1 -type f -exec touch -t "$stamp" {} +
  exit 0
fi

# ---- split sets ---------------------------------------------------------------------
# zip -s 64k cuts an archive into 64 KiB volumes arc.z01, arc.z02, ..., arc.zip
# (lowercase); the same set renamed to arc.Z01 ..., and to arc_001.zip ...; a
# self-extracting split set (the stub in front of the first volume, arc.exe,
# then arc.Z02 ... arc.ZIP, offsets on the first volume moved by the stub); and
# a set of many small files whose directory runs over several volumes
# (many/dirdisk names the volume where it starts). The oracle for each is
# unzip on the set joined into one file: split/joined.zip is joined here,
# because zip -s 0 (3.0) mis-joins an entry that spans more than two volumes
# (big.bin does); split/many-joined.zip is joined by zip -s 0.
split="$out/split"
mkdir -p "$split/lower" "$split/upper" "$split/advanced" "$split/sfx" "$split/many" \
  "$split/src" "$split/manysrc"
cp -r "$src/." "$split/src/"
python3 - "$split" <<'EOF2'
import os, random, sys
split = sys.argv[1]
rnd = random.Random(7)
with open(os.path.join(split, 'src', 'big.bin'), 'wb') as f:
    f.write(bytes(rnd.getrandbits(8) for _ in range(200000)))
for i in range(1200):
    with open(os.path.join(split, 'manysrc', 'file_%04d_with_a_longish_name.txt' % i), 'wb') as f:
        f.write(bytes(rnd.getrandbits(8) for _ in range(rnd.randint(0, 60))))
EOF2
find "$split/src" "$split/manysrc" -exec touch -t "$stamp" {} +
(cd "$split/src" && zip -q -X -r -s 64k "$split/lower/arc.zip" .)
(cd "$split/manysrc" && zip -q -X -r -s 64k "$split/many/arc.zip" .)
zip -q -s 0 "$split/many/arc.zip" --out "$split/many-joined.zip"
for v in "$split"/lower/arc.z[0-9][0-9]; do
  n=${v##*.z}
  cp "$v" "$split/upper/arc.Z$n"
  cp "$v" "$split/advanced/arc_0$n.zip"
done
cp "$split/lower/arc.zip" "$split/upper/arc.zip"
cp "$split/lower/arc.zip" "$split/advanced/arc.zip"
python3 - "$split" /usr/bin/unzipsfx <<'EOF2'
import glob, os, struct, sys
split, stub_path = sys.argv[1], sys.argv[2]

def volumes(folder):
    names = sorted(glob.glob(os.path.join(folder, 'arc.z[0-9][0-9]')))
    return [bytearray(open(n, 'rb').read()) for n in names + [os.path.join(folder, 'arc.zip')]]

# The set as one buffer with a function that moves every recorded offset:
# shift(disk, offset) gives the new offset.
def rebase(vols, shift, one_disk):
    starts = [sum(len(v) for v in vols[:i]) for i in range(len(vols))]
    whole = bytearray(b''.join(vols))
    e = starts[-1] + vols[-1].rfind(b'PK\x05\x06')
    (_, _, dir_disk, _, count, _, dir_offset, _) = struct.unpack('<IHHHHIIH', whole[e:e + 22])
    p = starts[dir_disk] + dir_offset
    for _ in range(count):
        nl, xl, cl, disk = struct.unpack('<HHHH', whole[p + 28:p + 36])
        (off,) = struct.unpack('<I', whole[p + 42:p + 46])
        whole[p + 42:p + 46] = struct.pack('<I', shift(starts, disk, off))
        if one_disk:
            whole[p + 34:p + 36] = b'\0\0'
        p += 46 + nl + xl + cl
    struct.pack_into('<I', whole, e + 16, shift(starts, dir_disk, dir_offset))
    if one_disk:
        struct.pack_into('<HHH', whole, e + 4, 0, 0, count)
    return whole, starts

vols = volumes(os.path.join(split, 'lower'))
# Joined: offsets from the start of the one file.
whole, _ = rebase(vols, lambda starts, disk, off: starts[disk] + off, True)
open(os.path.join(split, 'joined.zip'), 'wb').write(whole)

# Self-extracting: offsets on the first volume move by the stub.
stub = open(stub_path, 'rb').read()
whole, starts = rebase(vols, lambda starts, disk, off: off + (len(stub) if disk == 0 else 0),
                       False)
parts = [whole[starts[i]:starts[i] + len(vols[i])] for i in range(len(vols))]
out = os.path.join(split, 'sfx')
open(os.path.join(out, 'arc.exe'), 'wb').write(stub + parts[0])
for i in range(1, len(parts) - 1):
    open(os.path.join(out, 'arc.Z%02d' % (i + 1)), 'wb').write(parts[i])
open(os.path.join(out, 'arc.ZIP'), 'wb').write(parts[-1])

# Where the directory of the many-file set starts.
last = open(os.path.join(split, 'many', 'arc.zip'), 'rb').read()
e = last.rfind(b'PK\x05\x06')
(_, this_disk, dir_disk) = struct.unpack('<IHH', last[e:e + 8])
name = 'arc.zip' if dir_disk == this_disk else 'arc.z%02d' % (dir_disk + 1)
open(os.path.join(split, 'many', 'dirdisk'), 'w').write(name + '\n')
EOF2

find "$out" -maxdepth 1 -type f -exec touch -t "$stamp" {} +
