#!/usr/bin/env bash
# Remakes the fuzz targets' seed corpora under tests/fuzz/corpus/:
#   fuzz_extract (and fuzz_list, a link to it): the test archives of
#     make_testdata.sh in their small form (Info-ZIP zip, bsdtar, Python's
#     zipfile, 7-Zip; stored, deflated, every other method (m-*.zip), AES and
#     the traditional cipher under "secret", data descriptors,
#     Zip64, self-extractor prefix, UTF-8 and CP866 names, attributes,
#     damaged, hostile, empty);
#   fuzz_startup: packages made by mkstp from a small product, with and
#     without a picture and configuration texts;
#   fuzz_ini: configuration texts as mkstp writes them and as people do;
#   fuzz_masks: the matcher's cases (flag byte, name, NUL, mask);
#   fuzz_inflate: raw deflate streams (four seed bytes first) from zlib at
#     every level and strategy, with flushes, stored, fixed and dynamic
#     blocks, and 7-Zip's Deflate64 stream of tests/testdata/inflate.
#
# usage: make_corpus.sh MKSTP   (the Linux mkstp, e.g. build/native/bin/mkstp)
set -euo pipefail
mkstp=$(realpath "${1:?usage: make_corpus.sh MKSTP}")
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=../check_lib.sh
. "$here/../check_lib.sh"  # make_program
corpus="$here/corpus"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
export TZ=UTC

rm -rf "$corpus"
mkdir -p "$corpus"/fuzz_extract "$corpus"/fuzz_startup "$corpus"/fuzz_ini "$corpus"/fuzz_masks \
  "$corpus"/fuzz_inflate
ln -s fuzz_extract "$corpus/fuzz_list"

# ---- archives -------------------------------------------------------------------
ZF_TESTDATA_SMALL=1 bash "$here/../make_testdata.sh" "$tmp/td" >/dev/null
for f in "$tmp"/td/*.zip "$tmp"/td/*.exe; do
  [ -f "$f" ] || continue
  cp "$f" "$corpus/fuzz_extract/"
done

# ---- packages -----------------------------------------------------------------------
product="$tmp/product"
mkdir -p "$product/docs" "$product/empty"
printf 'Read me first.\r\n' >"$product/readme.txt"
printf 'help\r\n' >"$product/docs/help.txt"
: >"$product/docs/zero.dat"
python3 - "$tmp/picture.bmp" <<'PY'
import struct, sys
w = h = 2
row = bytes([0, 0, 255] * w) + b'\0\0'   # 24-bit pixels, rows padded to 4 bytes
pixels = row * h
header = struct.pack('<2sIHHI', b'BM', 54 + len(pixels), 0, 0, 54)
info = struct.pack('<IiiHHIIiiII', 40, w, h, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
open(sys.argv[1], 'wb').write(header + info + pixels)
PY
make_program "$tmp/setup.exe"
find "$product" -exec touch -t 202001021304.06 {} +
"$mkstp" -q -o "$tmp/p1" --base setup --setup "$tmp/setup.exe" --name "Hello" \
  --publisher "Publisher" --web "http://example.org/hello" --comment "Welcome" \
  --picture "$tmp/picture.bmp" "$product"
"$mkstp" -q -o "$tmp/p2" --base setup --setup "$tmp/setup.exe" --name "Привет" --level 0 \
  "$product"
cp "$tmp/p1/setup.stp" "$corpus/fuzz_startup/package.stp"
cp "$tmp/p2/setup.stp" "$corpus/fuzz_startup/stored-cyrillic.stp"
cp "$tmp/td/crypt.zip" "$corpus/fuzz_startup/not-a-package.stp"

# ---- configuration texts -------------------------------------------------------
python3 - "$corpus/fuzz_ini" <<'PY'
import os, sys
out = sys.argv[1]
texts = {
    'mkstp': '[zel]\r\nfirma=ООО Ромашка\r\nweb=http://www.romashka.ru\r\nname=Бухгалтерия 1.0\r\n'
             'coment=Программа учёта\r\n'.encode('cp1251'),
    'utf8-bom': '\ufeff[zel]\nname=Привет\nweb=example.org\n'.encode('utf-8'),
    'quotes': b'; comment\r\n[ZEL]\r\n  name = " spaced "\r\ncoment=\'single\'\r\nweb="\r\n',
    'two-sections': b'[other]\nname=no\n[zel]\nNAME=first\nname=second\n[zel]\nfirma=late\n',
    'named-lookup': b'odd key\r\n[odd]\r\nkey=value\r\n[zel\r\nname\r\n=empty key\r\n',
    'long': b'[zel]\nname=' + b'x' * 2100 + b'\n',
}
for name, data in texts.items():
    open(os.path.join(out, name + '.ins'), 'wb').write(data)
PY

# ---- masks ----------------------------------------------------------------------------
python3 - "$corpus/fuzz_masks" <<'PY'
import os, sys
out = sys.argv[1]
# (flags, name, mask): flag bit 0 ignore case, bits 1-3 the tables (3 and 4
# the UTF-8 ones, English and Turkish: their names are UTF-8 bytes).
cases = [
    (1, 'ReadMe.TXT', 'readme.txt'), (1, 'a.txt', '?.txt'), (1, 'ab.txt', '?.txt'),
    (1, '', '*'), (1, '', '?'), (1, 'axyb', 'a*b'), (1, 'ab', 'a*b'), (1, 'a', 'a*'),
    (1, 'a', 'a**'), (1, 'noext', '*.*'), (0, 'A', 'a'), (3, 'i', 'I'), (3, 'i', '\xdd'),
    (3, '\xfd', 'I'), (5, 'Docs/Guide.txt', 'docs/*'), (1, 'docs/guide.txt', '*.'),
    (1, 'name.', '*.'), (1, 'aaaaaaaaaaaaaaaaaaaaaaaaaaaaab', '*a*a*a*a*a*a*c'),
    (1, 'x/y.tar.gz', '*.*.gz'), (1, 'q', '**.*'),
]
utf8 = [
    (7, 'файл.тхт', '*.ТХТ'), (7, 'файл.txt', '????.txt'), (6, '日本語/テスト.txt', '*語/テ*'),
    (7, '😀.txt', '?.txt'), (9, 'FİLE', 'file'), (9, 'fıle', 'FILE'), (7, 'Straße', 'STRAßE'),
]
raw = [(7, b'a\xffb', b'a?b'), (7, b'\xd1\x84', b'\xd1?'), (9, b'a\xc0\xafb', b'a??b')]
encoded = [(f, n.encode('latin-1'), m.encode('latin-1')) for f, n, m in cases]
encoded += [(f, n.encode(), m.encode()) for f, n, m in utf8] + raw
for n, (flags, name, mask) in enumerate(encoded):
    data = bytes([flags]) + name + b'\0' + mask
    open(os.path.join(out, 'case%02d' % n), 'wb').write(data)
PY

# ---- raw deflate streams ------------------------------------------------------------
python3 - "$corpus/fuzz_inflate" "$here/../testdata/inflate/7zz-deflate64.zip" <<'PY'
import os, struct, sys, zlib
out, d64 = sys.argv[1], sys.argv[2]
text = b''.join(b'line %d of the text\n' % (i * 37 % 101) for i in range(150))
noise = bytes((i * 2654435761 >> 13) & 0xFF for i in range(600))
data = text[:1500] + noise + b'z' * 300 + text[200:900]
def raw(level, strategy, flushes=()):
    c = zlib.compressobj(level, zlib.DEFLATED, -15, 9, strategy)
    pieces, at = [], 0
    for cut in list(flushes) + [len(data)]:
        pieces.append(c.compress(data[at:cut]))
        if cut < len(data):
            pieces.append(c.flush(zlib.Z_SYNC_FLUSH))
        at = cut
    return b''.join(pieces) + c.flush()
streams = {
    'stored': raw(0, zlib.Z_DEFAULT_STRATEGY),
    'level1': raw(1, zlib.Z_DEFAULT_STRATEGY),
    'level9': raw(9, zlib.Z_DEFAULT_STRATEGY),
    'filtered': raw(6, zlib.Z_FILTERED),
    'huffman-only': raw(6, zlib.Z_HUFFMAN_ONLY),
    'rle': raw(6, zlib.Z_RLE),
    'fixed': raw(6, zlib.Z_FIXED),
    'flushes': raw(6, zlib.Z_DEFAULT_STRATEGY, (100, 1000, 2500)),
}
zipped = open(d64, 'rb').read()
names, extra = struct.unpack('<HH', zipped[26:30])
size = struct.unpack('<I', zipped[18:22])[0]
start = 30 + names + extra
streams['7zz-deflate64'] = zipped[start:start + size]
for n, (name, stream) in enumerate(sorted(streams.items())):
    seed = struct.pack('<I', 0x9E3779B9 * (n + 1) & 0xFFFFFFFF)
    open(os.path.join(out, name), 'wb').write(seed + stream)
PY
find "$corpus" -type f | wc -l
