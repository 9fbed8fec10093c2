#!/usr/bin/env bash
# Makes the archives that zfx is tested on, with the tools people really
# make ZIP archives with: Info-ZIP zip (stored, deflated, encrypted, streamed
# with data descriptors, with a comment, behind a self-extractor stub),
# bsdtar, and Python's zipfile (Zip64 extra blocks, UTF-8 and CP866 names,
# DOS attributes). The oracle for the expected files is unzip; for the
# archives whose names unzip cannot decode (CP866) this script writes the
# expected tree itself, from the same data.
#
# usage: make_testdata.sh OUT_DIR
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

# ---- the product tree ---------------------------------------------------------
python3 - "$src" <<'EOF'
import os, random, sys
root = sys.argv[1]
rnd = random.Random(20240601)
def put(rel, data):
    p = os.path.join(root, rel)
    os.makedirs(os.path.dirname(p), exist_ok=True)
    with open(p, 'wb') as f:
        f.write(data)
put('readme.txt', b'Read me first.\r\nSecond line.\r\n')
put('docs/guide.txt', ''.join('line %d of the guide\n' % i for i in range(4000)).encode())
put('docs/deep/nested.bin', bytes(rnd.getrandbits(8) for _ in range(70000)))
put('bin/tool.dat', bytes(rnd.choice(b'abcab\x00\x01') for _ in range(150000)))
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
(cd "$src" && zip -q -X -r - readme.txt docs | cat) > "$out/stream.zip"
(cd "$src" && zip -q -X -P secret - readme.txt docs/guide.txt | cat) > "$out/streamcrypt.zip"
echo "streamcrypt.zip secret" >> "$out/passwords"
# Standard input into a pipe: descriptors and a Zip64 local extra block.
seq 1 30000 | zip -q - - | cat > "$out/stdin.zip"
# An archive comment.
cp "$out/deflate.zip" "$out/comment.zip"
printf 'Product package\nsecond line of the comment\n' | zip -q -z "$out/comment.zip"

# ---- self-extractor stubs ---------------------------------------------------------
# Offsets left relative to the archive (the engine must find the prefix) and
# offsets corrected by zip -A.
cat /usr/bin/unzipsfx "$out/deflate.zip" > "$out/sfx_raw.exe"
cat /usr/bin/unzipsfx "$out/deflate.zip" > "$out/sfx_fixed.exe"
zip -q -A "$out/sfx_fixed.exe"

# ---- bsdtar ---------------------------------------------------------------------------
(cd "$src" && bsdtar --format zip -cf "$out/bsdtar.zip" readme.txt docs empty.txt)

# ---- Python's zipfile -------------------------------------------------------------
python3 - "$src" "$out" <<'EOF'
import os, sys, zipfile
src, out = sys.argv[1], sys.argv[2]
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
for name, body in cp866.items():
    p = os.path.join(out, 'expect-cp866.zip', name)
    os.makedirs(os.path.dirname(p), exist_ok=True)
    with open(p, 'wb') as f:
        f.write(body)

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
EOF

# Not an archive at all.
seq 1 5000 > "$out/notzip.zip"

find "$out" -maxdepth 1 -type f -exec touch -t "$stamp" {} +
