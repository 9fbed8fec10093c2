#!/usr/bin/env bash
# mkstp end to end: packages made from real folders are read back by our own
# zfx and, as independent readers, by 7-Zip, Info-ZIP unzip and Python's
# zipfile (same files, bytes and times; names in UTF-8 with the UTF-8 flag by
# default, Cyrillic, Greek and Japanese ones included, or in code page 866
# with --oem-codepage 866); the configuration file, attributes, determinism,
# and every refusal (missing source, unreadable entries, names outside the
# OEM code page or too long, bad picture, name clashes) with nothing left
# behind.
#
# usage: mkstp_test.sh WORK_DIR MKSTP_COMMAND... -- ZFX_COMMAND...
# A command with "wine" in front is the Windows build: then only a basic
# round trip of ASCII names runs (the Wine locale decides the code pages).
set -uo pipefail
# shellcheck source=check_lib.sh source-path=SCRIPTDIR
. "$(dirname "${BASH_SOURCE[0]}")/check_lib.sh"

work=${1:?usage: mkstp_test.sh WORK_DIR MKSTP_COMMAND... -- ZFX_COMMAND...}
shift
mkstp_cmd=()
while [ $# -gt 0 ] && [ "$1" != "--" ]; do mkstp_cmd+=("$1"); shift; done
shift
zfx_cmd=("$@")
[ ${#mkstp_cmd[@]} -gt 0 ] && [ ${#zfx_cmd[@]} -gt 0 ] || { echo "commands missing" >&2; exit 2; }
windows=0
is_windows_command "${mkstp_cmd[@]}" && windows=1

PASSWORD="vor krat unpackr lorimen K.t."
rm -rf "$work"
mkdir -p "$work"
cd "$work" || exit 2

# mkstp ARGS...: stdout in out.txt, stderr in err.txt, the status in $rc
# (see check_lib.sh).
mkstp() { run_captured "${mkstp_cmd[@]}" "$@"; }
# zfx ARGS...: both outputs in zfx.txt, the status returned.
zfx() { "${zfx_cmd[@]}" "$@" </dev/null >zfx.txt 2>&1; }

# compare_trees SOURCE EXTRACTED MODE: the same files with the same bytes and
# times (DOS time: the second rounded down to even), the same folders.
# MODE names: names compared as they are; cp866: the extracted names are
# raw code page 866 bytes; contents: names not comparable (unzip turns OEM
# names into Latin-1 its own way): the file contents as a multiset, the ASCII
# names and their times.
compare_trees() {
  python3 - "$1" "$2" "$3" <<'PY' || fail "$3 round trip: $1 and $2 differ"
import hashlib, os, sys
src, out, mode = sys.argv[1:4]
def tree(root, decode):
    files, dirs = {}, set()
    for base, ds, fs in os.walk(root):
        for d in ds:
            rel = os.path.relpath(os.path.join(base, d), root)
            dirs.add(decode(rel))
        for f in fs:
            p = os.path.join(base, f)
            rel = decode(os.path.relpath(p, root))
            with open(p, 'rb') as fh:
                digest = hashlib.md5(fh.read()).hexdigest()
            files[rel] = (digest, int(os.stat(p).st_mtime))
    return files, dirs
same = lambda s: s
cp866 = lambda s: os.fsencode(s).decode('cp866')
a_files, a_dirs = tree(src, same)
b_files, b_dirs = tree(out, cp866 if mode == 'cp866' else same)
for skip in ('setup.ins', 'iconsetup.bmp'):
    b_files.pop(skip, None)
bad = []
if mode == 'contents':
    if sorted(d for d, _ in a_files.values()) != sorted(d for d, _ in b_files.values()):
        bad.append('file contents differ')
    if len(a_dirs) != len(b_dirs):
        bad.append('folder count %d != %d' % (len(a_dirs), len(b_dirs)))
    names = [n for n in a_files if n.isascii()]
else:
    if set(a_files) != set(b_files):
        bad.append('files: only in source %s, only extracted %s' %
                   (sorted(set(a_files) - set(b_files)), sorted(set(b_files) - set(a_files))))
    if a_dirs != b_dirs:
        bad.append('folders: %s vs %s' % (sorted(a_dirs ^ b_dirs), ''))
    names = [n for n in a_files if n in b_files]
for n in names:
    (da, ta), (db, tb) = a_files[n], b_files.get(n, (None, None))
    if da != db:
        bad.append(n + ': bytes differ')
    elif ta - ta % 2 != tb:
        bad.append('%s: time %d, extracted %d' % (n, ta, tb))
for b in bad:
    print('    ' + b, file=sys.stderr)
sys.exit(1 if bad else 0)
PY
}

# py_extract PACKAGE DIR [ENCODING]: Python's zipfile extracts the package,
# reading names without the UTF-8 flag in ENCODING, and gives the files
# their stored times.
py_extract() {
  python3 - "$PASSWORD" "$@" <<'PY' || fail "zipfile extraction of $2"
import os, sys, time, zipfile
password, package, out = sys.argv[1:4]
encoding = sys.argv[4] if len(sys.argv) > 4 else None
with zipfile.ZipFile(package, metadata_encoding=encoding) as z:
    z.setpassword(password.encode())
    for info in z.infolist():
        path = z.extract(info, out)
        if not info.is_dir():
            t = time.mktime(info.date_time + (0, 0, -1))
            os.utime(path, (t, t))
PY
}

# flags_of PACKAGE: the general-purpose flags of every entry, one a line.
flags_of() {
  python3 -c 'import sys, zipfile
for i in zipfile.ZipFile(sys.argv[1]).infolist(): print(hex(i.flag_bits))' "$1" | sort -u
}

# A 2 x 2 pixel 24-bit BMP.
make_bmp() {
  python3 -c "
import struct, sys
rows = b'\x00\x00\xff\xff\xff\xff\x00\x00' * 2
head = struct.pack('<2sIHHI', b'BM', 54 + len(rows), 0, 0, 54)
info = struct.pack('<IiiHHIIiiII', 40, 2, 2, 1, 24, 0, len(rows), 2835, 2835, 0, 0)
open(sys.argv[1], 'wb').write(head + info + rows)" "$1"
}

make_program setup.exe stamp
make_bmp pic.bmp

# ---- the source tree ------------------------------------------------------------
mkdir -p src/docs src/empty-folder src/a/b/c/d/e/f/g/h/i/j/k/l/m/n/o/p
printf 'Read me\r\n' >src/readme.txt
: >src/empty.txt
printf 'deep\n' >src/a/b/c/d/e/f/g/h/i/j/k/l/m/n/o/p/deep.txt
seq 1 20000 >src/docs/numbers.txt
head -c 70000 /dev/urandom >src/docs/random.bin
printf 'locked\n' >src/docs/readonly.txt
chmod a-w src/docs/readonly.txt
printf 'hidden\n' >src/.hidden
if [ $windows = 0 ]; then
  mkdir -p "src/Документы/Пустая папка"
  printf 'Отчёт за год\n' >"src/Документы/Отчёт.txt"
fi
find src -exec touch -h -d '2021-03-04 05:06:07' {} +
touch -d '2019-12-31 23:59:58' src/readme.txt

# ---- a package, read back by zfx, 7-Zip and unzip -------------------------------
# The options of the demo package, made twice to check that it comes out the same.
demo_options=(--setup setup.exe --picture pic.bmp --name "Demo" --publisher "Pub"
  --web "http://example.org" --comment " Welcome ")
mkstp -o out "${demo_options[@]}" src
expect_rc 0 "package"
[ -f out/setup.stp ] && [ -f out/setup.exe ] || fail "package: setup.stp and setup.exe expected"
ls out/*.part >/dev/null 2>&1 && fail "package: temporary files left"
# The wizard as it was but for its stamp: the package's size and SHA-256.
digest=$(sha256sum out/setup.stp | cut -d' ' -f1)
[ "$(stamp_of out/setup.exe out/setup.stp)" = "1 0 $(wc -c <out/setup.stp) $digest - ok" ] ||
  fail "package: stamp \"$(stamp_of out/setup.exe out/setup.stp)\""
[ "$(cmp -l setup.exe out/setup.exe | awk '$1 <= 88 || $1 > 600' | wc -l)" = 0 ] ||
  fail "package: setup.exe differs from the wizard outside its stamp"
# The report on standard output, not worded as an error; nothing on stderr.
report="out/setup.stp: $(find src -type f | wc -l) files, $(find src -mindepth 1 -type d | wc -l) folders, $(wc -c <out/setup.stp) bytes, verified"
[ "$(tr '\\' / <out.txt)" = "$report"$'\nout/setup.exe: the wizard beside it, SHA-256 '"$digest" ] ||
  fail "package: report \"$(cat out.txt)\", expected \"$report\""
[ ! -s err.txt ] || fail "package: stderr \"$(cat err.txt)\""

# The program runs in UTF-8 (on Windows by its manifest) and reads names
# without the UTF-8 flag in the OEM code page of the system's locale.
mkstp --help
lang=${ZF_TEST_LOCALE:-${LC_ALL:-en}}
case ${lang:0:2} in ru) oem=866 ;; tr) oem=857 ;; *) oem=437 ;; esac
expect_in out.txt "Code pages: ANSI 65001, OEM $oem" "--help"

if [ $windows = 1 ]; then
  zfx x -P "$PASSWORD" -d x-zfx out/setup.stp || { fail "zfx.exe extraction"; cat zfx.txt >&2; }
  compare_trees src x-zfx names
  7zz x -p"$PASSWORD" -o7z out/setup.stp >/dev/null || fail "7-Zip extraction"
  compare_trees src 7z names
  # The output folder in the source, named in other letter case: the same
  # folder to Windows.
  mkstp -o SRC/out --setup setup.exe src
  expect_rc 1 "output folder SRC/out"
  expect_in err.txt "SRC/out: the output folder lies in the source folder src" "output folder SRC/out"
  [ ! -e src/out ] || fail "output folder SRC/out: made"
  mkstp -o x --setup pic.bmp src
  expect_rc 1 "a picture as the wizard"
  expect_in err.txt "pic.bmp: not a Windows program (no MZ header)" "a picture as the wizard"
  [ $failures = 0 ] && echo "mkstp tests (Windows build): all passed"
  exit $((failures > 0))
fi

# UTF-8 names with the flag: every reader gives the real names, in any locale.
[ "$(flags_of out/setup.stp)" = $'0x800\n0x801' ] ||
  fail "package: entry flags $(flags_of out/setup.stp | tr '\n' ' '), expected 0x800 and 0x801"
LC_ALL=en_US.UTF-8 zfx x -P "$PASSWORD" -d x-zfx out/setup.stp ||
  { fail "zfx extraction"; cat zfx.txt >&2; }
compare_trees src x-zfx names
7zz x -p"$PASSWORD" -o7z out/setup.stp >/dev/null || fail "7-Zip extraction"
compare_trees src 7z names
# unzip 6.0 turns the names of entries made on MS-DOS (host 0, as the
# package's are, for their attribute bits) from OEM into Latin-1 even when
# they are flagged UTF-8: only the contents compare.
unzip -qq -P "$PASSWORD" -d unz out/setup.stp || fail "unzip extraction"
compare_trees src unz contents
unzip -qq -t -P "$PASSWORD" out/setup.stp >/dev/null || fail "unzip -t"
py_extract out/setup.stp py
compare_trees src py names

# Names from other scripts than Cyrillic, which no OEM code page holds together.
mkdir -p "intl/Ελληνικά" "intl/日本語"
printf 'alpha\n' >"intl/Ελληνικά/Ωmega.txt"
printf 'test\n' >"intl/日本語/テスト.txt"
printf 'zh\n' >"intl/中文.txt"
find intl -exec touch -h -d '2022-01-02 03:04:06' {} +
mkstp -q -o intl-out --setup setup.exe intl
expect_rc 0 "Greek, Japanese and Chinese names"
LC_ALL=tr_TR.UTF-8 zfx x -P "$PASSWORD" -d intl-zfx intl-out/setup.stp || fail "intl: zfx"
compare_trees intl intl-zfx names
7zz x -p"$PASSWORD" -ointl-7z intl-out/setup.stp >/dev/null || fail "intl: 7-Zip"
compare_trees intl intl-7z names
py_extract intl-out/setup.stp intl-py
compare_trees intl intl-py names

# Legacy OEM names (--oem-codepage 866): no UTF-8 flag; zfx reads them in the
# code page of the run's language (Russian gives 866), 7-Zip as raw bytes,
# zipfile when told the code page, unzip its own way.
mkstp -q -o oem --oem-codepage 866 "${demo_options[@]}" src
expect_rc 0 "package with OEM names"
[ "$(flags_of oem/setup.stp)" = $'0x0\n0x1' ] ||
  fail "OEM package: entry flags $(flags_of oem/setup.stp | tr '\n' ' '), expected 0x0 and 0x1"
LC_ALL=ru_RU.UTF-8 zfx x -P "$PASSWORD" -d oem-zfx oem/setup.stp ||
  { fail "zfx extraction (OEM)"; cat zfx.txt >&2; }
compare_trees src oem-zfx names
7zz x -p"$PASSWORD" -ooem-7z oem/setup.stp >/dev/null || fail "7-Zip extraction (OEM)"
compare_trees src oem-7z cp866
unzip -qq -P "$PASSWORD" -d oem-unz oem/setup.stp || fail "unzip extraction (OEM)"
compare_trees src oem-unz contents
py_extract oem/setup.stp oem-py cp866
compare_trees src oem-py names

# Configuration and picture at the root, as the wizard looks for them.
printf '[zel]\r\nfirma=Pub\r\nweb=http://example.org\r\nname=Demo\r\ncoment=" Welcome "\r\n' >want.ins
cmp -s want.ins x-zfx/setup.ins || fail "setup.ins: $(od -c x-zfx/setup.ins | head -3)"
cmp -s pic.bmp x-zfx/iconsetup.bmp || fail "iconsetup.bmp differs from the picture"

# Every entry encrypted; folders kept; attributes as on disk.
LC_ALL=ru_RU.UTF-8 zfx l out/setup.stp
list=$(tr -d '\r' <zfx.txt)
grep -q "entries, 10 encrypted" <<<"$list" || fail "listing: $(tail -1 <<<"$list")"
grep -E ' -a-h- .*\.hidden$' <<<"$list" >/dev/null || fail "hidden attribute not stored"
grep -E ' -ar-- .*readonly\.txt$' <<<"$list" >/dev/null || fail "read-only attribute not stored"
grep -E ' d---- .* empty-folder/$' <<<"$list" >/dev/null || fail "empty folder not stored"
grep -E 'Stored .*random\.bin$' <<<"$list" >/dev/null || fail "incompressible file not stored"
grep -E 'Deflate .*numbers\.txt$' <<<"$list" >/dev/null || fail "text not deflated"
[ "$(stat -c %a x-zfx/docs/readonly.txt)" = 444 ] || fail "read-only file extracted writable"

# Cyrillic configuration texts in code page 1251.
mkstp -o cyr --setup setup.exe --name "Программа" --comment "Добро пожаловать" src
expect_rc 0 "Cyrillic texts"
7zz e -p"$PASSWORD" -ocyr-x cyr/setup.stp setup.ins >/dev/null
[ "$(iconv -f CP1251 -t UTF-8 cyr-x/setup.ins | tr -d '\r')" = $'[zel]\nname=Программа\ncoment=Добро пожаловать' ] ||
  fail "Cyrillic setup.ins: $(od -c cyr-x/setup.ins | head -3)"

# The same input gives the same bytes.
mkstp -q -o again "${demo_options[@]}" src
cmp -s out/setup.stp again/setup.stp && cmp -s out/setup.exe again/setup.exe ||
  fail "two runs gave different packages"
[ ! -s out.txt ] || fail "-q printed: $(cat out.txt)"

# ---- one file, signed, reproducible, from a project file ---------------------------
# One file: the wizard, then the package, which the stamp names with the
# base name; a plain copy of the wizard inside as uninstall.exe. The
# stand-in signing command appends a marker, as a signature is appended.
sign="printf ' signed by the test' >> {file}"
mkstp -o one --single-file --base "Hello World" --id "{6F1C2B3A-0000-4000-8000-00000000C0DE}" \
  --version 2.1.0 --sign "$sign" "${demo_options[@]}" src
expect_rc 0 "one file"
[ "$(ls one)" = "Hello World.exe" ] || fail "one file: wrote $(ls one | tr '\n' ' ')"
read -r flags offset size one_digest base ok <<<"$(stamp_of "one/Hello World.exe")"
[ "$flags $offset $base $ok" = "3 600 Hello World ok" ] ||
  fail "one file: stamp \"$(stamp_of "one/Hello World.exe")\""
[ "$(tail -c 19 "one/Hello World.exe")" = " signed by the test" ] || fail "one file: not signed last"
[ "$(wc -c <"one/Hello World.exe")" = $((offset + size + 19)) ] || fail "one file: size"
tail -c +$((offset + 1)) "one/Hello World.exe" | head -c "$size" >one.zip
py_extract one.zip one-py
[ "$(cat one-py/uninstall.exe)" = "$(cat setup.exe) signed by the test" ] ||
  fail "one file: uninstall.exe is not the plain wizard, signed"
tr -d '\r' <one-py/Hello\ World.ins | grep -qx 'id={6F1C2B3A-0000-4000-8000-00000000C0DE}' &&
  tr -d '\r' <one-py/Hello\ World.ins | grep -qx 'version=2.1.0' || fail "one file: id and version"
rm one-py/uninstall.exe one-py/Hello\ World.ins
compare_trees src one-py names
# Two files, signed: the digest covers the package alone.
mkstp -q -o signed --sign "$sign" "${demo_options[@]}" src
[ "$(stamp_of signed/setup.exe signed/setup.stp | cut -d' ' -f6)" = ok ] &&
  [ "$(tail -c 19 signed/setup.exe)" = " signed by the test" ] || fail "two files: not signed"

# A reproducible build: two copies of the source with other file times give
# the same bytes under SOURCE_DATE_EPOCH; no entry is newer than the epoch
# (UTC), the configuration is the epoch; a file older than it keeps its time.
epoch=$(date -u -d '2024-05-06 07:08:10' +%s)
cp -a src src-a
cp -a src src-b
find src-a -exec touch -h -d '2030-01-01 10:00:00' {} +
find src-b -exec touch -h -d '2031-06-07 08:09:10' {} +
touch -d '2032-01-01 00:00:02' src-b/docs/numbers.txt
for copy in src-a src-b; do
  SOURCE_DATE_EPOCH=$epoch mkstp -q -o "repro-$copy" --single-file "${demo_options[@]}" "$copy"
  expect_rc 0 "reproducible build of $copy"
done
cmp -s repro-src-a/setup.exe repro-src-b/setup.exe || fail "reproducible build: the outputs differ"
touch -d '2001-02-03 04:05:06' src-b/readme.txt
SOURCE_DATE_EPOCH=$epoch mkstp -q -o repro-two "${demo_options[@]}" src-b
python3 - repro-two/setup.stp <<'PY' || fail "reproducible build: entry times"
import sys, zipfile
times = {i.filename: i.date_time for i in zipfile.ZipFile(sys.argv[1]).infolist()}
assert times.pop('setup.ins') == (2024, 5, 6, 7, 8, 10), 'configuration'
assert times.pop('readme.txt') == (2001, 2, 3, 4, 5, 6), 'an older file keeps its time'
assert set(times.values()) == {(2024, 5, 6, 7, 8, 10)}, times
PY
SOURCE_DATE_EPOCH=soon mkstp -q -o repro-bad src
expect_rc 2 "SOURCE_DATE_EPOCH that is no number"

# The same build from a project file kept in another folder (relative
# paths from there), the command line overriding its version.
mkdir -p project
cat >project/product.ini <<INI
; the demo's build
[mkstp]
source = ../src
setup = ../setup.exe
picture = ../pic.bmp
single-file = yes
name = Demo
publisher = Pub
web = http://example.org
comment = " Welcome "
version = 1.0
output = ../from-project
INI
SOURCE_DATE_EPOCH=$epoch mkstp -q --project project/product.ini --version 2.1.0
expect_rc 0 "--project"
SOURCE_DATE_EPOCH=$epoch mkstp -q -o from-line --single-file --version 2.1.0 "${demo_options[@]}" src
cmp -s from-project/setup.exe from-line/setup.exe || fail "--project: not the build the options make"
for bad in "colour = red" "single-file = maybe" "just words" "[other]" "project = x.ini"; do
  printf 'source = ../src\n%s\n' "$bad" >project/bad.ini
  mkstp -q --project project/bad.ini
  expect_rc 2 "project line \"$bad\""
  expect_in err.txt "project/bad.ini:2: " "project line \"$bad\""
done

# Another base name: NAME.exe beside NAME.stp, with NAME.ins inside.
mkstp -q -o named --base "product" --setup setup.exe src
expect_rc 0 "--base"
[ -f named/product.stp ] && [ -f named/product.exe ] || fail "--base: product.stp/.exe expected"
7zz l named/product.stp | grep -q ' product.ins$' || fail "--base: product.ins not in the package"

# ---- a large file (100 MiB, incompressible: deflated, then stored) --------------
mkdir -p big
head -c 100M /dev/urandom >big/large.bin
mkstp -q -o big-out --setup setup.exe big
expect_rc 0 "large file"
zfx x -q -P "$PASSWORD" -d big-x big-out/setup.stp || fail "large file: zfx"
cmp -s big/large.bin big-x/large.bin || fail "large file: bytes differ"
rm -rf big big-x big-out

# ---- refusals: status 1, a message naming the cause, nothing left ---------------
# Each case: a name, what to prepare in a fresh source "bad", the extra
# options, and a piece of the message.
refusal() {  # refusal NAME MESSAGE [MKSTP ARGS...]
  local name=$1 message=$2
  shift 2
  mkdir -p keep
  echo "old package" >keep/setup.stp
  mkstp -o keep --setup setup.exe "$@"
  expect_rc 1 "$name"
  grep -qF -- "$message" err.txt || { fail "$name: message lacks \"$message\""; sed 's/^/    /' err.txt >&2; }
  [ "$(cat keep/setup.stp)" = "old package" ] || fail "$name: the old package was touched"
  [ ! -e keep/setup.exe ] || fail "$name: setup.exe written"
  ls keep/*.part >/dev/null 2>&1 && fail "$name: temporary file left"
  rm -rf keep bad
}
fresh() { rm -rf bad && mkdir -p bad && echo ok >bad/ok.txt; }

refusal "missing source" "no-such-dir: no such folder" no-such-dir
fresh; ln -s nowhere bad/dangling
refusal "broken link" "bad/dangling: not a regular file or folder" bad
fresh; mkfifo bad/pipe
refusal "pipe" "bad/pipe: not a regular file or folder" bad
if [ "$(id -u)" != 0 ]; then
  fresh; echo secret >bad/secret.txt; chmod 000 bad/secret.txt
  refusal "unreadable file" "bad/secret.txt: cannot read the file" bad
else
  echo "note: running as root, chmod 000 does not make a file unreadable; links and pipes stand in"
fi
fresh; echo x >bad/Ωmega.txt
refusal "Greek name in code page 866" "bad/Ωmega.txt: the name cannot be written in code page 866" \
  --oem-codepage 866 bad
fresh; echo x >bad/中文.txt
refusal "Chinese name in code page 866" "the name cannot be written in code page 866" \
  --oem-codepage 866 bad
fresh; echo x >$'bad/bad\xff.txt'
refusal "name that is no UTF-8" "the name is not valid UTF-8" bad
fresh; echo x >'bad/what?.txt'
refusal "Windows-forbidden character" "a character Windows does not allow" bad
long=$(printf 'x%.0s' $(seq 1 120))
fresh; mkdir -p "bad/$long/$long/$long"; echo x >"bad/$long/$long/$long/file.txt"
refusal "name too long" "the name is too long" bad
fresh; echo x >bad/Readme.TXT; echo y >bad/readme.txt
refusal "names differing in case" "differs from it only in case" bad
fresh; echo x >bad/SETUP.INS
refusal "configuration name taken" "the package keeps its own" bad
fresh; echo "not a picture" >bad.bmp
refusal "bad picture" "bad.bmp: not a BMP file" --picture bad.bmp bad
fresh; head -c 40 pic.bmp >cut.bmp
refusal "cut picture" "cut.bmp: unknown or cut BMP header" --picture cut.bmp bad
fresh
refusal "missing wizard" "no-wizard.exe: no such file" --setup no-wizard.exe bad
fresh; echo "not a program" >notexe.txt
refusal "wizard that is no program" "notexe.txt: not a Windows program (no MZ header)" \
  --setup notexe.txt bad
fresh; printf 'MZ%062d' 0 >mzonly.exe
refusal "wizard without a PE header" "mzonly.exe: not a Windows program (no PE header)" \
  --setup mzonly.exe bad
fresh; mkdir -p wizdir
refusal "wizard that is a folder" "wizdir: a folder, not a file" --setup wizdir bad
fresh; mkdir -p picdir
refusal "picture that is a folder" "picdir: a folder, not a file" --picture picdir bad
fresh; make_program plain.exe
refusal "one file from a wizard without a stamp" "plain.exe: the wizard has no place for the package's stamp" \
  --single-file --setup plain.exe bad
fresh; echo x >bad/Uninstall.exe
refusal "one file with its own uninstall.exe" "the package keeps its own" --single-file bad
fresh
refusal "a failing signing command" "the signing command failed (exit status 3)" --sign 'exit 3; {file}' bad
fresh; mkdir -p bad/bin
refusal "program to run not in the source" "--run bin/prog.exe: no such file in bad" \
  --run bin/prog.exe bad
fresh; mkdir -p bad/bin
refusal "desktop shortcut to a folder" "--desktop-shortcut bin: no such file in bad" \
  --desktop-shortcut bin bad
fresh
refusal "comment with a line break" "line break" --comment $'two\nlines' bad
fresh
refusal "text outside the INI code page" "cannot be written in code page 1251" --name "中文" bad
fresh
refusal "unknown code page" "does not know the code page" --oem-codepage 12345 bad

# The output folder in the source: last run's package would be packed into
# the next. Refused before anything is made.
for out in bad bad/out bad/./out/deeper; do
  fresh
  mkstp -o "$out" --setup setup.exe bad
  expect_rc 1 "output folder $out in the source"
  expect_in err.txt "$out: the output folder lies in the source folder bad" "output folder $out"
  [ "$(find bad | LC_ALL=C sort | tr '\n' ' ')" = "bad bad/ok.txt " ] ||
    fail "output folder $out in the source: $(find bad | tr '\n' ' ')"
done
rm -rf bad

# An empty source builds a package, with a warning (also under -q).
mkdir -p empty-src/only-a-folder
mkstp -q -o empty-out --setup setup.exe empty-src
expect_rc 0 "source without files"
expect_in err.txt "mkstp: warning: empty-src: the folder holds no files; the package installs only empty folders" \
  "source without files"
[ -f empty-out/setup.stp ] || fail "source without files: no package"

# Wrong command lines: status 2.
for args in "" "--level 10 src" "--bogus src" "src other" "--base a/b src" "--id a\\b src" \
            "--version 1.x src" "--sign sign.sh src" "--project x.ini --project y.ini src"; do
  # shellcheck disable=SC2086
  mkstp $args
  expect_rc 2 "command line \"$args\""
done

if [ $failures -gt 0 ]; then
  echo "mkstp tests: $failures failed" >&2
  exit 1
fi
echo "mkstp tests: all passed"
