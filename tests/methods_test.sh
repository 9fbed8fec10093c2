#!/usr/bin/env bash
# zfx against an archive of every compression method and AES strength, made
# by the tools that write them (tests/make_testdata.sh, m-*.zip): each must
# give 7-Zip's bytes and a listing that names its coding; and each failure
# (f-*.zip, a mutation of a good archive, with the cause it must report in
# td/failures) fails its entry with that cause, exit status 1 and no file.
#
# usage: methods_test.sh TESTDATA_DIR WORK_DIR ZFX_COMMAND...
set -uo pipefail
# shellcheck source=check_lib.sh source-path=SCRIPTDIR
. "$(dirname "${BASH_SOURCE[0]}")/check_lib.sh"

testdata=$(cd "${1:?usage: methods_test.sh TESTDATA_DIR WORK_DIR ZFX_COMMAND...}" && pwd)
work=${2:?}
shift 2
zfx_cmd=("$@")
rm -rf "$work"
mkdir -p "$work"
cd "$work" || exit 2
ln -s "$testdata" td
zfx() { run_captured "${zfx_cmd[@]}" "$@"; }
password_of() { awk -v a="$1" '$1 == a { print $2 }' td/passwords; }

# ---- every method: 7-Zip's bytes ------------------------------------------------------
for path in td/m-*.zip; do
  a=${path#td/}
  pw=$(password_of "$a")
  zfx x -q ${pw:+-P "$pw"} -d "zfx-$a" "$path"
  expect_rc 0 "x $a"
  7zz x -bd -bso0 -bsp0 ${pw:+-p"$pw"} -o"oracle-$a" "$path" >/dev/null ||
    fail "7-Zip cannot extract $a"
  diff -r "zfx-$a" "oracle-$a" >diff.txt || { fail "x $a: trees differ"; sed 's/^/    /' diff.txt >&2; }
done

# ---- the listing names each coding ------------------------------------------------------
while read -r a coding; do
  zfx l "td/$a"
  expect_rc 0 "l $a"
  expect_in out.txt " $coding " "l $a"
done <<'LIST'
m-7z-bzip2.zip BZip2
m-py-lzma.zip LZMA
m-7z-xz.zip XZ
m-7z-ppmd.zip PPMd
m-zstd.zip Zstd
m-7z-aes128.zip AES-128 Deflate
m-7z-aes192-store.zip AES-192 Stored
m-ae1-aes256.zip AES-256 Deflate
LIST

# ---- failures: the cause, exit status 1, nothing left ---------------------------------
# Split by hand: read with IFS=tab would merge the two tabs around an empty password.
while IFS= read -r row; do
  a=${row%%$'\t'*} rest=${row#*$'\t'}
  pw=${rest%%$'\t'*} cause=${rest#*$'\t'}
  zfx x -q ${pw:+-P "$pw"} -d "out-$a" "td/$a"
  expect_rc 1 "x $a"
  expect_in err.txt "$cause" "x $a"
  [ ! -e "out-$a/text.txt" ] || fail "x $a: text.txt left behind"
  case $cause in
    "wrong password"*) ;;  # small.txt is under the same password
    *) [ -f "out-$a/small.txt" ] || fail "x $a: small.txt, which is sound, not extracted" ;;
  esac
done <td/failures

if [ $failures -gt 0 ]; then
  echo "$failures check(s) failed" >&2
  exit 1
fi
echo "all method checks passed"
