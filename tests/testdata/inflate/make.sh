#!/usr/bin/env bash
# Remakes the archives inflate_test reads: one sample file compressed by
# tools whose encoders are not zlib's. The sample's second half repeats its
# first 45,000 bytes back (beyond Deflate's 32 KiB window: Deflate64's
# distance codes 30 and 31) and holds a run of 70,000 bytes (Deflate64's
# length code 285 with its 16 extra bits).
#
# usage: make.sh   (needs 7zz and Info-ZIP zip; writes next to itself)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
python3 - "$tmp/sample.txt" <<'PY'
import sys
lines = ''.join('line %05d of the sample\n' % i for i in range(1800)).encode()
open(sys.argv[1], 'wb').write(lines + lines + b'a' * 70000 + lines[:5000])
PY
touch -t 202401020304.05 "$tmp/sample.txt"
cd "$tmp"
rm -f "$here"/*.zip
7zz a -tzip -mm=Deflate64 -mx=9 "$here/7zz-deflate64.zip" sample.txt >/dev/null
7zz a -tzip -mm=Deflate -mx=9 "$here/7zz-deflate.zip" sample.txt >/dev/null
zip -q -9 -X "$here/infozip-deflate.zip" sample.txt
