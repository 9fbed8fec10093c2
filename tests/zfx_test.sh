#!/usr/bin/env bash
# zfx against real archives (made by tests/make_testdata.sh): every archive
# extracted by zfx and by unzip must give the same tree; exit statuses,
# passwords without a terminal, listing totals, overwrite rules, junked
# folders, exclusions, masks, damaged data, hostile names and names Windows
# refuses.
#
# usage: zfx_test.sh TESTDATA_DIR WORK_DIR ZFX_COMMAND...
# ZFX_COMMAND is the program, with "wine" in front for the Windows build.
# ZF_TEST_LOCALE (en, ru, tr) tells which code pages the run has; names in
# Cyrillic are compared only where they can come out right.
set -uo pipefail
# shellcheck source=check_lib.sh source-path=SCRIPTDIR
. "$(dirname "${BASH_SOURCE[0]}")/check_lib.sh"

testdata=$(cd "${1:?usage: zfx_test.sh TESTDATA_DIR WORK_DIR ZFX_COMMAND...}" && pwd)
work=${2:?}
shift 2
zfx_cmd=("$@")
[ ${#zfx_cmd[@]} -gt 0 ] || { echo "no zfx command given" >&2; exit 2; }

windows=0
is_windows_command "${zfx_cmd[@]}" && windows=1
locale=${ZF_TEST_LOCALE:-}
if [ -z "$locale" ]; then
  lang=${LC_ALL:-${LC_CTYPE:-${LANG:-en}}}
  locale=${lang:0:2}
fi

rm -rf "$work"
mkdir -p "$work"
cd "$work" || exit 2
# Relative paths only: the same command line then works for Linux and for
# Windows under Wine, whose current folder is this one on drive Z:.
ln -s "$testdata" td

# zfx ARGS...: runs zfx with no terminal; stdout in out.txt, stderr in
# err.txt, the exit status in $rc (see check_lib.sh).
zfx() { run_captured "${zfx_cmd[@]}" "$@"; }

# The contents of a tree as a sorted list of checksums, for archives whose
# names this locale cannot show.
contents() { (cd "$1" && find . -type f -exec md5sum {} + | cut -d' ' -f1 | LC_ALL=C sort); }

password_of() { awk -v a="$1" '$1 == a { print $2 }' td/passwords; }

# Whether the names of an archive come out right in this run: UTF-8 names
# always do (Linux's code page is UTF-8, and so is the Windows program's
# under its manifest); OEM names need the Russian OEM code page 866.
names_right() {
  case "$1" in
    cp866.zip) [ "$locale" = ru ] ;;
    *) true ;;
  esac
}

# ---- every archive: zfx and the oracle give the same tree -----------------------
archives=(stored.zip deflate.zip crypt.zip stream.zip streamcrypt.zip stdin.zip comment.zip
  sfx_raw.exe sfx_fixed.exe bsdtar.zip zip64.zip zip64fz.zip utf8.zip scripts.zip cp866.zip
  unicodepath.zip attrs.zip rebuilt.zip unixbits.zip countshort.zip zip64prefix.zip nested.zip)
for a in "${archives[@]}"; do
  pw=$(password_of "$a")
  pw_args=()
  [ -n "$pw" ] && pw_args=(-P "$pw")
  zfx x -q "${pw_args[@]}" -d "zfx-$a" "td/$a"
  expect_rc 0 "x $a"
  if [ -d "td/expect-$a" ]; then
    cp -r "td/expect-$a" "oracle-$a"
  else
    unzip -qq -o "${pw_args[@]}" -d "oracle-$a" "td/$a" 2>/dev/null
  fi
  if names_right "$a"; then
    diff -r "zfx-$a" "oracle-$a" >diff.txt || { fail "x $a: trees differ"; sed 's/^/    /' diff.txt >&2; }
  else
    [ "$(contents "zfx-$a")" = "$(contents "oracle-$a")" ] || fail "x $a: contents differ"
  fi
done

# ---- a block declaring 256 MiB: written as it inflates, in bounded memory -------
# Peak resident memory from getrusage of the finished child, natively (under
# Wine it would be Wine's).
rm -rf bomb
peak=$(python3 -c 'import resource, subprocess, sys
r = subprocess.run(sys.argv[1:], stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL)
print(r.returncode, resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss)' \
  "${zfx_cmd[@]}" x -q -d bomb td/blockbomb.zip)
read -r rc peak_kib <<<"$peak"
expect_rc 0 "x blockbomb.zip"
[ "$(wc -c <bomb/zeros.bin)" = 268435456 ] || fail "x blockbomb.zip: zeros.bin is not 256 MiB"
if [ $windows = 0 ] && [ "$peak_kib" -ge $((48 * 1024)) ]; then
  fail "x blockbomb.zip: peak resident memory $peak_kib KiB, 48 MiB allowed"
fi
rm -rf bomb

# ---- listing: entry count, total size, encryption marks, comment ----------------
for a in deflate.zip crypt.zip stdin.zip sfx_raw.exe zip64.zip zip64fz.zip attrs.zip empty.zip; do
  zfx l "td/$a"
  expect_rc 0 "l $a"
  want=$(python3 -c 'import sys, zipfile
z = zipfile.ZipFile(sys.argv[1]); i = z.infolist()
print(sum(x.file_size for x in i), sum(x.compress_size for x in i), len(i))' "td/$a")
  read -r length packed count <<<"$want"
  got=$(tail -n 1 out.txt)
  read -r got_length got_packed _ got_count _ <<<"$got"
  [ "$got_length $got_packed $got_count" = "$length $packed $count" ] ||
    fail "l $a: totals \"$got\", expected $length $packed $count entries"
  # What some archives show besides the totals.
  case $a in
    crypt.zip)
      expect_in out.txt "7 entries, 5 encrypted" "l crypt.zip"
      [ "$(grep -c ' \*' out.txt)" = 5 ] || fail "l crypt.zip: not 5 lines marked \"*\""
      expect_in out.txt "Deflate          2020-01-02 13:04" "l crypt.zip method and date"
      expect_in out.txt "5C00D9ED *readme.txt" "l crypt.zip CRC-32"
      ;;
    attrs.zip)
      expect_in out.txt "-a-h-" "l attrs.zip hidden"
      expect_in out.txt "-ar--" "l attrs.zip read-only"
      ;;
  esac
done
zfx l td/comment.zip
expect_in out.txt "Comment: second line of the comment" "l comment.zip"

# An archive without entries extracts nothing, successfully.
zfx x -d none td/empty.zip
expect_rc 0 "x empty.zip"
[ -z "$(find none -mindepth 1 2>/dev/null)" ] || fail "x empty.zip: something extracted"

# ---- passwords without a terminal: the entry is skipped, never waited for -----
for case_ in "crypt.zip||password required" "crypt.zip|wrong|wrong password" \
  "streamcrypt.zip|wrong|wrong password"; do
  IFS='|' read -r a pw message <<<"$case_"
  args=()
  [ -n "$pw" ] && args=(-P "$pw")
  rm -rf nopw
  zfx x "${args[@]}" -d nopw "td/$a"
  expect_rc 1 "x $a with password \"$pw\""
  # Zip's encryption headers are random: a wrong password (the empty one
  # too) passes the one-byte check in 1 case of 256 and the entry then fails
  # its CRC-32 instead.
  if ! grep -qF "readme.txt: Invalid size or check sum" err.txt; then
    expect_in err.txt "readme.txt: $message, skipped" "x $a with password \"$pw\""
  fi
  [ ! -e nopw/readme.txt ] || fail "x $a with password \"$pw\": readme.txt written"
done
[ ! -e nopw/docs/guide.txt ] || fail "x streamcrypt.zip with a wrong password: guide.txt written"

# ---- exit status 2: missing archive, unreadable archive, bad command lines ------
zfx x -d missing td/nosuch.zip
expect_rc 2 "x of a missing archive"
expect_in err.txt "zfx: cannot open td/nosuch.zip: no such file" "x of a missing archive"
[ ! -e td/nosuch.zip ] || fail "x of a missing archive created it"
[ ! -e missing ] || fail "x of a missing archive made the destination"
zfx l td/nosuch.zip
expect_rc 2 "l of a missing archive"
# What cannot be opened says why, once.
: >empty.zip
# archive|what stderr says
open_cases=(
  "td/notzip.zip|cannot open td/notzip.zip: not a ZIP archive (no end of central directory record in its last 64 KiB, and no local header to rebuild the directory from): Invalid archive file. - Native error: 00035"
  "td/src|cannot open td/src: a folder, not an archive"
  "empty.zip|cannot open empty.zip: empty, not a ZIP archive"
)
for case_ in "${open_cases[@]}"; do
  IFS='|' read -r a message <<<"$case_"
  zfx x -d notzip "$a"
  expect_rc 2 "x $a"
  [ "$(cat err.txt)" = "zfx: $message" ] || fail "x $a: said \"$(cat err.txt)\""
done
# Only --help and no arguments print the usage; a wrong command line gets
# one line naming what is wrong.
# arguments|what stderr says
usage_cases=(
  "|usage: zfx x" "q td/deflate.zip|unknown command \"q\"" "x|no archive given"
  "x -d|option -d needs a value" "x -k td/deflate.zip|unknown option -k"
  "l -q td/deflate.zip|option -q does not apply to \"l\"" "x -qk td/deflate.zip|unknown option -qk"
)
for case_ in "${usage_cases[@]}"; do
  IFS='|' read -r args message <<<"$case_"
  # shellcheck disable=SC2086  # the words are the arguments
  zfx $args
  expect_rc 2 "command line \"$args\""
  expect_in err.txt "$message" "command line \"$args\""
  [ -z "$args" ] || [ "$(wc -l <err.txt)" = 1 ] || fail "command line \"$args\": more than one line"
done
zfx --version
expect_rc 0 "--version"
grep -qE '^zfx [0-9.]+, archive engine [0-9.]+$' out.txt || fail "--version: \"$(cat out.txt)\""
zfx --help
expect_rc 0 "--help"
expect_in out.txt "usage: zfx x" "--help"
# The program runs in UTF-8 (on Windows by its manifest) and reads names
# without the UTF-8 flag in the OEM code page of the system's locale.
case $locale in ru) oem=866 ;; tr) oem=857 ;; *) oem=437 ;; esac
expect_in out.txt "Code pages: ANSI 65001, OEM $oem" "--help"

# ---- output: one name per entry unless quiet -----------------------------------
zfx x -d loud td/deflate.zip
expect_rc 0 "x without -q"
tr '\\' / <out.txt | grep -qx "docs/guide.txt" || fail "x without -q: docs/guide.txt not reported"
zfx x -q -d quiet td/deflate.zip
[ ! -s out.txt ] || fail "x -q printed to standard output"

# ---- overwrite rules: -o, -n, -u, and none of them without a terminal -----------
rm -rf ow
zfx x -q -d ow td/deflate.zip readme.txt
# mode (none: ask, and without a terminal keep)|file time|stays changed (1) or is replaced (0)|exit status
for case_ in "|200001010000|1|1" "-o|203001010000|0|0" "-qo|203001010000|0|0" \
  "-n|200001010000|1|0" "-u|200001010000|0|0" "-u|203001010000|1|0"; do
  IFS='|' read -r mode time kept status <<<"$case_"
  echo changed >ow/readme.txt
  touch -t "$time" ow/readme.txt
  # shellcheck disable=SC2086  # no mode: no argument
  zfx x $mode -d ow td/deflate.zip readme.txt
  what="x ${mode:-(no mode)} over a file from $time"
  expect_rc "$status" "$what"
  if [ "$kept" = 1 ]; then
    [ "$(cat ow/readme.txt)" = changed ] || fail "$what: replaced"
    # A file kept is not reported as extracted.
    [ ! -s out.txt ] || fail "$what: printed \"$(cat out.txt)\""
  else
    cmp -s ow/readme.txt td/src/readme.txt || fail "$what: not replaced"
  fi
done
zfx x -d ow td/deflate.zip readme.txt
expect_in err.txt "zfx: readme.txt: exists; kept" "x without a terminal over a file"

# ---- masks, exclusions, junked folders -------------------------------------------
# options and masks|files expected (sorted, "/" as separator)
mask_cases=(
  "'*.txt'|docs/guide.txt empty.txt readme.txt"
  "guide.txt|docs/guide.txt"
  "'docs/*'|docs/deep/nested.bin docs/guide.txt"
  "docs|docs/deep/nested.bin docs/guide.txt"
  "docs/deep/|docs/deep/nested.bin"
  "-x '*.bin' -x docs/guide.txt|bin/tool.dat empty.txt readme.txt"
  "-x 'docs/*' '*.txt'|empty.txt readme.txt"
  "-j|empty.txt guide.txt nested.bin readme.txt tool.dat"
  "-j -x tool.dat 'docs/*'|guide.txt nested.bin"
)
for case_ in "${mask_cases[@]}"; do
  IFS='|' read -r words want <<<"$case_"
  rm -rf sel
  eval "set -- $words"
  zfx x -q -d sel td/deflate.zip "$@"
  expect_rc 0 "x $words"
  got=$(cd sel 2>/dev/null && find . -type f | sed 's|^\./||' | LC_ALL=C sort | tr '\n' ' ')
  [ "$got" = "$want " ] || fail "x $words: got \"$got\", expected \"$want\""
done
rm -rf sel
zfx x -q -j -d sel td/deflate.zip
[ -z "$(find sel -mindepth 1 -type d)" ] || fail "x -j made folders"
zfx x -d sel td/deflate.zip nothing.at.all
expect_rc 1 "x with a mask that matches nothing"
expect_in err.txt "nothing.at.all: no matching entries" "x with a mask that matches nothing"
# Masks and exclusions make one run: an entry that two masks match is
# extracted and reported once, a damaged one fails once; a mask whose
# entries are all excluded matched something.
rm -rf sel
zfx x -d sel td/deflate.zip '*.txt' 'readme*'
expect_rc 0 "x with two masks matching readme.txt"
[ "$(tr '\\' / <out.txt | grep -cx readme.txt)" = 1 ] || fail "x with two masks: readme.txt not reported once"
rm -rf sel
zfx x -d sel td/corrupt.zip '*.txt' readme.txt
expect_rc 1 "x of a damaged entry that two masks match"
[ "$(grep -c 'readme.txt: Invalid size' err.txt)" = 1 ] || fail "x with two masks: readme.txt did not fail once"
expect_in err.txt "zfx: 1 of 3 selected entries not extracted" "x of a damaged entry that two masks match"
rm -rf sel
zfx x -d sel -x readme.txt td/deflate.zip readme.txt
expect_rc 0 "x with a mask whose entry is excluded"
[ ! -s err.txt ] || fail "x with a mask whose entry is excluded: $(cat err.txt)"
[ -z "$(find sel -type f 2>/dev/null)" ] || fail "x with a mask whose entry is excluded: something extracted"

# ---- damaged data ------------------------------------------------------------------
rm -rf bad
zfx x -d bad td/corrupt.zip
expect_rc 1 "x of a damaged entry"
expect_in err.txt "readme.txt: Invalid size or check sum of file or unsupported compression format - Native error: 00008" \
  "x of a damaged entry"
# The engine's message stays as it is; why and where follow it.
expect_in err.txt "Native error: 00008 (CRC-32 mismatch, entry at offset 0)" "x of a damaged entry"
[ ! -e bad/readme.txt ] || fail "x of a damaged entry left the file"
[ -f bad/docs/guide.txt ] || fail "x of a damaged entry stopped the other entries"
zfx x -q --keep-corrupt -d bad td/corrupt.zip readme.txt
expect_rc 0 "x --keep-corrupt"
[ "$(wc -c <bad/readme.txt)" = "$(wc -c <td/src/readme.txt)" ] || fail "x --keep-corrupt: file not kept"

# A folder where an entry's file belongs: the entry fails and says why.
rm -rf inway
mkdir -p inway/readme.txt
zfx x -q -d inway td/deflate.zip
expect_rc 1 "x over a folder named like an entry"
expect_in err.txt "Native error: 00019 (a folder stands in its place, entry at offset 0)" \
  "x over a folder named like an entry"

# ---- damaged directories: read from the local headers, with a warning -----------
# The end record cut off; the last central header's name running past the
# end of the file. Every entry is still there; stderr tells how the archive
# was read.
python3 - td/deflate.zip <<'PY'
import sys
data = bytearray(open(sys.argv[1], "rb").read())
open("noend.zip", "wb").write(data[:-10])
last = data.rfind(b"PK\x01\x02")
data[last + 28:last + 30] = b"\xff\xff"
open("cuthdr.zip", "wb").write(data)
print(last, file=open("cuthdr.offset", "w"))
PY
dir_cases=(
  "noend.zip|directory damaged (no end of central directory record): rebuilt from 9 local headers"
  "cuthdr.zip|directory damaged at offset $(cat cuthdr.offset) (a central header is cut short; 8 of 9 central headers read): rebuilt from 9 local headers"
)
for case_ in "${dir_cases[@]}"; do
  IFS='|' read -r a warning <<<"$case_"
  rm -rf rebuilt
  zfx x -q -d rebuilt "$a"
  expect_rc 0 "x $a"
  expect_in err.txt "zfx: $a: warning: $warning" "x $a"
  cmp -s rebuilt/docs/guide.txt td/src/docs/guide.txt || fail "x $a: docs/guide.txt differs"
  zfx l "$a"
  expect_in err.txt "zfx: $a: warning: $warning" "l $a"
done
zfx l td/deflate.zip
[ ! -s err.txt ] || fail "l of a sound archive warned: $(cat err.txt)"

# ---- an archive cut short: the entry it ends inside fails, the status says so ------
# where the file ends (an offset in td/deflate.zip)|status of x and t|what stderr says
python3 - td/deflate.zip >cut.offsets <<'PY'
import sys, zipfile
z = {i.filename: i for i in zipfile.ZipFile(sys.argv[1]).infolist()}
data = lambda n: z[n].header_offset + 30 + len(n)
print(10, data('readme.txt') + 5, z['docs/guide.txt'].header_offset + 2,
      z['docs/guide.txt'].header_offset + 20, data('docs/guide.txt') + 999, data('bin/tool.dat') + 999,
      z['docs/guide.txt'].header_offset, z['bin/tool.dat'].header_offset)
PY
read -r c_head c_first c_sig c_mid c_mdata c_last guide_at tool_at <cut.offsets
cut_cases=(
  "$c_head|2|cannot open cut.zip: cut short inside its first entry"
  "$c_first|1|readme.txt: Invalid size or check sum of file or unsupported compression format - Native error: 00008 (truncated data, entry at offset 0)"
  "$c_sig|1|an entry is lost: the file ends inside its local header at offset $guide_at"
  "$c_mid|1|an entry is lost: the file ends inside its local header at offset $guide_at"
  "$c_mdata|1|docs/guide.txt: Invalid size or check sum of file or unsupported compression format - Native error: 00008 (truncated data, entry at offset $guide_at)"
  "$c_last|1|bin/tool.dat: Invalid size or check sum of file or unsupported compression format - Native error: 00008 (truncated data, entry at offset $tool_at)"
)
for case_ in "${cut_cases[@]}"; do
  IFS='|' read -r at status message <<<"$case_"
  head -c "$at" td/deflate.zip >cut.zip
  for command in "x -d cut" t; do
    rm -rf cut
    # shellcheck disable=SC2086  # the words are the arguments
    zfx $command cut.zip
    expect_rc "$status" "$command of deflate.zip cut at $at"
    tr '\\' / <err.txt >slashed.txt
    expect_in slashed.txt "$message" "$command of deflate.zip cut at $at"
  done
done

# ---- t: every selected entry decoded and checked, nothing written -------------------
# archive and arguments|exit status
for case_ in "td/corrupt.zip|1" "td/crypt.zip|1" "-P secret td/crypt.zip|0" "td/links.zip|0" \
  "td/deflate.zip nothing.at.all|1" "td/deflate.zip|0"; do
  IFS='|' read -r args status <<<"$case_"
  before=$(ls)
  # shellcheck disable=SC2086  # the words are the arguments
  zfx t $args
  expect_rc "$status" "t $args"
  [ "$(ls)" = "$before" ] || fail "t $args: wrote something"
done
expect_in out.txt "readme.txt: OK" "t td/deflate.zip"

# ---- the archive from standard input: a pipe is copied first, a file is opened -----
# shellcheck disable=SC2002  # a pipe, not a file, is what is tested
{
  rm -rf piped redirected
  "${zfx_cmd[@]}" x -q -d redirected - <td/deflate.zip >/dev/null 2>err.txt
  cat td/deflate.zip | "${zfx_cmd[@]}" x -q -d piped - >/dev/null 2>>err.txt
  if ! diff -r piped zfx-deflate.zip >/dev/null || ! diff -r redirected zfx-deflate.zip >/dev/null; then
    fail "x - of a pipe or a file: trees differ"
    cat err.txt >&2
  fi
  cat td/deflate.zip | "${zfx_cmd[@]}" l - '*.txt' >out.txt 2>&1
}
rc=$?
expect_rc 0 "l - '*.txt'"
[ "$(tail -n 1 out.txt | awk '{print $4}')" = 3 ] || fail "l - '*.txt': not 3 entries"

# ---- names from Unix and macOS without the UTF-8 flag; MS-DOS names stay OEM ------
rm -rf un
zfx x -q -d un td/unixnames.zip
expect_rc 0 "x unixnames.zip"
for name in Кириллица.txt Ünïcode.txt flagged-Ж.txt; do
  [ "$(cat "un/$name" 2>/dev/null)" = "$name" ] || fail "x unixnames.zip: $name not extracted"
done
[ ! -e un/dos-é.txt ] || fail "x unixnames.zip: an MS-DOS name read as UTF-8"

# ---- symbolic links: made when they stay inside, refused otherwise (Linux) ---------
# entry|on Linux: the link's target, or "refused"
link_cases=("inside|docs/guide.txt" "chain|inside" "deep/up|.." "abs|refused" "up|refused"
  "esc|refused" "dirlink|docs" "dirlink/x.txt|refused")
rm -rf ln
zfx x -d ln td/links.zip
expect_rc 1 "x links.zip"
for case_ in "${link_cases[@]}"; do
  IFS='|' read -r name want <<<"$case_"
  if [ $windows = 1 ]; then
    # Windows: a file holding the target, with a note.
    [ "$want" = refused ] || [ "$(cat "ln/$name")" = "$want" ] || fail "x links.zip: $name"
    [ "$want" = refused ] || expect_in err.txt "${name//\//\\}: note: a symbolic link" "x links.zip"
  elif [ "$want" = refused ]; then
    if [ -e "ln/$name" ] || [ -L "ln/$name" ]; then fail "x links.zip: $name made"; fi
    expect_in err.txt "zfx: $name: Cannot create file" "x links.zip: $name refused"
  else
    [ "$(readlink "ln/$name")" = "$want" ] || fail "x links.zip: $name is not a link to $want"
  fi
done

# ---- on a terminal: the overwrite question, a bar as wide as the terminal ----------
# on_terminal COLUMNS ANSWERS COMMAND...: runs the command on a pseudo-
# terminal COLUMNS wide, typing the next of the words ANSWERS at each
# question (a line ending in ": "), Ctrl-D when none is left; what it shows
# in out.txt, its status in $rc.
on_terminal() {
  python3 - "$@" >out.txt <<'PY'
import fcntl, os, pty, select, struct, sys, termios
cols, answers, cmd = int(sys.argv[1]), sys.argv[2].split(), sys.argv[3:]
pid, fd = pty.fork()
if pid == 0:
    fcntl.ioctl(0, termios.TIOCSWINSZ, struct.pack('HHHH', 24, cols, 0, 0))
    os.execvp(cmd[0], cmd)
out = b''
while select.select([fd], [], [], 60)[0]:
    try:
        out += os.read(fd, 4096)
    except OSError:
        break
    if out.endswith(b': '):
        os.write(fd, (answers.pop(0) + '\n').encode() if answers else b'\x04')
sys.stdout.buffer.write(out.replace(b'\r\n', b'\n'))
sys.exit(os.waitstatus_to_exitcode(os.waitpid(pid, 0)[1]))
PY
  rc=$?
}
if [ $windows = 0 ]; then
  # answers|readme.txt replaced (1) or kept (0)|guide.txt replaced or kept|questions|archive
  ask_cases=("y n|1|0|2|td/deflate.zip" "A|1|1|1|td/deflate.zip" "N|0|0|1|td/deflate.zip"
    "r renamed.txt|0|0|2|td/deflate.zip" "y|1|0|2|-")
  for case_ in "${ask_cases[@]}"; do
    IFS='|' read -r answers readme guide questions a <<<"$case_"
    rm -rf ow && "${zfx_cmd[@]}" x -q -d ow td/deflate.zip readme.txt docs/guide.txt
    echo changed | tee ow/readme.txt >ow/docs/guide.txt
    on_terminal 80 "$answers" sh -c "cat td/deflate.zip | $(printf '%q ' "${zfx_cmd[@]}") x -d ow $a readme.txt docs/guide.txt"
    [ "$a" = - ] || on_terminal 80 "$answers" "${zfx_cmd[@]}" x -d ow "$a" readme.txt docs/guide.txt
    what="x on a terminal answering \"$answers\" (archive $a)"
    expect_rc 0 "$what"
    [ "$(grep -c '? \[y\]es, \[n\]o, \[A\]ll, \[N\]one, \[r\]ename: ' out.txt)" = "$questions" ] || fail "$what: not $questions questions"
    cmp -s ow/readme.txt td/src/readme.txt; [ $? = $((1 - readme)) ] || fail "$what: readme.txt"
    cmp -s ow/docs/guide.txt td/src/docs/guide.txt; [ $? = $((1 - guide)) ] || fail "$what: guide.txt"
    [[ $answers != r* ]] || cmp -s ow/renamed.txt td/src/readme.txt || fail "$what: renamed.txt"
  done
  # The archive on standard input and no terminal at all: kept, said, status 1.
  setsid -w sh -c "cat td/deflate.zip | $(printf '%q ' "${zfx_cmd[@]}") x -d ow - readme.txt" >out.txt 2>err.txt
  rc=$?
  expect_rc 1 "x - without a terminal over a file"
  expect_in err.txt "readme.txt: exists; kept" "x - without a terminal over a file"
  # 40 columns: no progress line wraps; one summary line at the end.
  rm -rf bar
  on_terminal 40 "" "${zfx_cmd[@]}" x -d bar td/deflate.zip
  expect_rc 0 "x on a 40-column terminal"
  tr '\r' '\n' <out.txt >lines.txt
  [ "$(head -n -1 lines.txt | awk 'length > 39' | wc -l)" = 0 ] || fail "x on 40 columns: a line longer than 39"
  tail -n 1 lines.txt | grep -qE '^5 files extracted, 310920 bytes, [0-9.]+ s, no failures$' ||
    fail "x on a terminal: summary \"$(tail -n 1 lines.txt)\""
fi

# ---- hostile names -----------------------------------------------------------------
mkdir -p hostile/inside
(cd hostile/inside && "${zfx_cmd[@]}" x -q -d out ../../td/hostile.zip </dev/null >/dev/null 2>../err.raw)
rc=$?
tr -d '\r' <hostile/err.raw >err.txt
expect_rc 1 "x of hostile names"
expect_in err.txt "Cannot create file" "x of hostile names"
[ -f hostile/inside/out/ok.txt ] || fail "x of hostile names: ok.txt not extracted"
[ -z "$(find hostile -name evil.txt)" ] || fail "x of hostile names: evil.txt written"
[ ! -e /abs.txt ] || fail "x of hostile names: /abs.txt written"

# ---- names Windows refuses: device names and forbidden characters ---------------
# Windows: each fails on its own with native code 19 (nul.txt would
# otherwise vanish into the NUL device with success reported); the names
# that only look like devices are extracted. Linux: every name as stored.
rm -rf wn
zfx x -q -d wn td/winnames.zip
if [ $windows = 1 ]; then
  expect_rc 1 "x winnames.zip"
  [ "$(grep -c 'Native error: 00019' err.txt)" = 13 ] ||
    { fail "x winnames.zip: not 13 names refused with code 19"; sed 's/^/    /' err.txt >&2; }
  for name in nul.txt CON aux.h Com1.log lpt9 'dir\prn.txt' '123456789:;<=>?@' C:drive.txt; do
    expect_in err.txt "$name" "x winnames.zip: $name refused"
  done
  got=$(cd wn && find . -type f | sed 's|^\./||' | LC_ALL=C sort | tr '\n' ' ')
  [ "$got" = "COM10.txt console.txt dir/ok.txt nul_file.txt " ] ||
    fail "x winnames.zip: extracted \"$got\""
else
  expect_rc 0 "x winnames.zip"
  diff -r wn td/expect-winnames.zip >diff.txt || { fail "x winnames.zip: trees differ"; sed 's/^/    /' diff.txt >&2; }
fi

# ---- split sets: opened by the last volume's name, the same files as unzip ----------
# (the oracle is unzip on the set joined into one file; see make_testdata.sh)
rm -rf oracle-split oracle-many
unzip -qq -o -d oracle-split td/split/joined.zip 2>/dev/null
unzip -qq -o -d oracle-many td/split/many-joined.zip 2>/dev/null
for s in lower/arc.zip upper/arc.zip advanced/arc.zip sfx/arc.exe many/arc.zip; do
  oracle=oracle-split
  [ "$s" = many/arc.zip ] && oracle=oracle-many
  rm -rf zfx-split
  zfx x -q -d zfx-split "td/split/$s"
  expect_rc 0 "x split $s"
  diff -r zfx-split "$oracle" >diff.txt || { fail "x split $s: trees differ"; sed 's/^/    /' diff.txt >&2; }
done
zfx l td/split/lower/arc.zip
expect_rc 0 "l split lower/arc.zip"
expect_in out.txt "big.bin" "l split lower/arc.zip"

# A missing middle volume without a terminal: its request is cancelled, the
# entries on it fail (native code 45), the others are extracted.
rm -rf gap gap-out
cp -r td/split/upper gap
rm gap/arc.Z03
zfx x -q -d gap-out gap/arc.zip
expect_rc 1 "x split set without arc.Z03"
expect_in err.txt "Native error: 00045" "x split set without arc.Z03"
expect_in err.txt "a volume of the set is missing" "x split set without arc.Z03"
[ -f gap-out/readme.txt ] || fail "x split set without arc.Z03: readme.txt not extracted"
[ ! -e gap-out/big.bin ] || fail "x split set without arc.Z03: big.bin written"

# The volume where the directory starts is missing: the archive cannot be opened.
rm -rf nodir
cp -r td/split/many nodir
rm "nodir/$(cat nodir/dirdisk)"
zfx l nodir/arc.zip
expect_rc 2 "l split set without its directory's first volume"
expect_in err.txt "Native error: 00045" "l split set without its directory's first volume"

if [ $failures -gt 0 ]; then
  echo "$failures check(s) failed" >&2
  exit 1
fi
echo "all zfx checks passed"
