#!/usr/bin/env bash
# The package as a publisher ships it, under Wine without a window, made by
# the Linux mkstp: a damaged package (one byte flipped at the start, inside
# the central directory, at the end, and inside a one-file setup) stops
# before the first page with exit 1 and says why in the log; a one-file
# setup under a name a browser gives a second download installs silently,
# with the plain wizard as its uninstaller; version 1 then version 2 of a
# product with an id: the folder reused, the file version 2 dropped gone,
# the user's file kept, one entry with the new DisplayVersion, then a
# silent uninstall that leaves nothing; a downgrade refused with exit 5.
#
#   shipped_package_wine_test.sh SETUP_EXE MKSTP WORKDIR
#
# Runs in the caller's Wine prefix (WINEPREFIX) or a fresh one of its own.
set -uo pipefail

here=$(cd "$(dirname "$0")" && pwd)
. "$here/../../scripts/common.sh"
. "$here/../check_lib.sh"

setup_exe=$1
mkstp=${ZF_MKSTP:-$2}
loc=${LC_ALL:-en_US.UTF-8}
export LC_ALL=$loc
work=$3/${loc%%.*}
note() { echo "--- $*"; }

[ -x "$mkstp" ] || { echo "FAIL: no Linux mkstp at $mkstp" >&2; exit 1; }
rm -rf "$work"
mkdir -p "$work"
if [ -z "${WINEPREFIX:-}" ]; then
  export WINEPREFIX=$work/prefix
  fresh_wine_prefix "$WINEPREFIX" "$loc"
fi
drive_c=$WINEPREFIX/drive_c
id='{5A1E0000-0000-4000-8000-00000000F11E}'
key="HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$id"
quiet=(/VERYSILENT /SUPPRESSMSGBOXES /SP- /NORESTART)
run_wine() {  # run_wine EXE ARGS...: the exit status in $rc
  DISPLAY= wine "$@" </dev/null >/dev/null 2>&1
  rc=$?
}
# package VERSION FILES...: a one-file setup of the product with those
# files (each NAME=TEXT), in $work/vVERSION/zfshipped.exe.
package() {
  local version=$1 file
  shift
  rm -rf "$work/src"
  mkdir -p "$work/src"
  for file in "$@"; do printf '%s\r\n' "${file#*=}" >"$work/src/${file%%=*}"; done
  head -c 200000 /dev/urandom >"$work/src/data.bin"
  "$mkstp" -q -o "$work/v$version" --setup "$setup_exe" --base zfshipped --single-file --id "$id" --version "$version" \
    --name "Поставка" --publisher "Supplier Ltd" "$work/src" || fail "mkstp: version $version"
}
# flipped FILE OFFSET: FILE with the byte at OFFSET changed.
flip() {
  python3 -c 'import sys
p, at = sys.argv[1], int(sys.argv[2])
d = bytearray(open(p, "rb").read()); d[at] ^= 0x01; open(p, "wb").write(d)' "$1" "$2"
}

# ---- a damaged package stops before the first page ----------------------------------
note "damaged packages: exit 1 before the first page"
"$mkstp" -q -o "$work/two" --setup "$setup_exe" --name "Поставка" "$here/../../examples/demo" ||
  fail "mkstp: the two-file package"
stp=$work/two/setup.stp
directory=$(python3 -c 'import sys, zipfile
z = zipfile.ZipFile(sys.argv[1]); print(z.start_dir + 20)' "$stp")
package 1.0 "prog.exe=MZ version 1"
one=$work/v1.0/zfshipped.exe
one_package=$(($(wc -c <"$one") - 100))   # inside the package at the end of the program
for case in "two:0" "two:$directory" "two:$(($(wc -c <"$stp") - 1))" "one:$one_package"; do
  where=${case#*:}
  rm -rf "$work/damaged"
  mkdir -p "$work/damaged"
  if [ "${case%%:*}" = two ]; then
    cp "$work/two/setup.exe" "$stp" "$work/damaged/"
    flip "$work/damaged/setup.stp" "$where"
    exe=$work/damaged/setup.exe
  else
    cp "$one" "$work/damaged/zfshipped.exe"
    flip "$work/damaged/zfshipped.exe" "$where"
    exe=$work/damaged/zfshipped.exe
  fi
  rm -f "$drive_c/damaged.log"
  run_wine "$exe" "${quiet[@]}" '/DIR=C:\Zf Damaged' '/LOG=C:\damaged.log'
  [ $rc = 1 ] || fail "$case: a damaged package ended with $rc, not 1"
  grep -q 'Package damaged: .*SHA-256 of the' "$drive_c/damaged.log" 2>/dev/null ||
    fail "$case: the log does not say why: $(grep -a Package "$drive_c/damaged.log" 2>&1)"
  grep -q 'Temporary folder' "$drive_c/damaged.log" && fail "$case: the package was read"
  [ -e "$drive_c/Zf Damaged" ] && fail "$case: the damaged package installed"
done
# The package as shipped passes the same check.
run_wine "$work/two/setup.exe" "${quiet[@]}" '/DIR=C:\Zf Two' '/LOG=C:\two.log'
[ $rc = 0 ] && grep -q 'Package digest verified' "$drive_c/two.log" || fail "the good package: $rc"
run_wine "$drive_c/Zf Two/uninstall.exe" /VERYSILENT

# ---- one file, renamed: version 1 -----------------------------------------------------
note "one-file setup renamed as a second download, silently"
package 1.0 "prog.exe=MZ version 1" "old.txt=dropped in 2"
cp "$work/v1.0/zfshipped.exe" "$work/zfshipped (1).exe"
run_wine "$work/zfshipped (1).exe" "${quiet[@]}" '/DIR=C:\Zf Shipped' '/LOG=C:\v1.log'
dir=$drive_c/Zf\ Shipped
[ $rc = 0 ] || fail "version 1 ended with $rc"
for f in prog.exe old.txt data.bin uninstall.exe uninstall.dat; do
  [ -f "$dir/$f" ] || fail "version 1 did not install $f"
done
cmp -s "$setup_exe" "$dir/uninstall.exe" || fail "the uninstaller is not the plain wizard"
grep -q 'One-file setup: the package zfshipped.stp' "$drive_c/v1.log" || fail "not read as one file"
printf 'mine\r\n' >"$dir/mine.txt"

# ---- version 2 over it -----------------------------------------------------------------
note "version 2: the folder reused, the dropped file gone, the user's file kept"
package 2.0 "prog.exe=MZ version 2" "new.txt=new in 2"
run_wine "$work/v2.0/zfshipped.exe" "${quiet[@]}" '/LOG=C:\v2.log'
[ $rc = 0 ] || fail "version 2 ended with $rc"
[ "$(cat "$dir/prog.exe")" = "MZ version 2"$'\r' ] && [ -f "$dir/new.txt" ] ||
  fail "version 2 did not go into version 1's folder"
[ -e "$dir/old.txt" ] && fail "the file version 2 dropped is still there"
[ -f "$dir/mine.txt" ] || fail "the user's file went"
[ -e "$drive_c/Program Files/zfshipped" ] && fail "version 2 went into the default folder"
entry=$(wine reg query "$key" 2>/dev/null | tr -d '\r')
grep -q 'DisplayVersion *REG_SZ *2.0$' <<<"$entry" || fail "DisplayVersion: $(grep Version <<<"$entry")"
grep -q 'Publisher *REG_SZ *Supplier Ltd$' <<<"$entry" || fail "Publisher"
listed=$(DISPLAY= wine uninstaller --list 2>/dev/null | tr -d '\r' | grep -cF "$id|||")
[ "$listed" = 1 ] || fail "the product is listed $listed times"

# ---- a downgrade ---------------------------------------------------------------------------
note "version 1 over version 2: refused with exit 5"
run_wine "$work/v1.0/zfshipped.exe" "${quiet[@]}"
[ $rc = 5 ] || fail "the downgrade ended with $rc, not 5"
[ "$(cat "$dir/prog.exe")" = "MZ version 2"$'\r' ] || fail "the downgrade changed a file"

# ---- the uninstall leaves nothing ------------------------------------------------------------
note "silent uninstall"
rm "$dir/mine.txt"
run_wine "$dir/uninstall.exe" /VERYSILENT
[ $rc = 0 ] || fail "the uninstall ended with $rc"
for i in $(seq 100); do [ -e "$dir" ] || break; sleep 0.2; done
[ -e "$dir" ] && fail "the uninstall left $(find "$dir" | tr '\n' ' ')"
wine reg query "$key" >/dev/null 2>&1 && fail "the uninstall left the entry"

if [ $failures -gt 0 ]; then
  echo "$failures check(s) failed" >&2
  exit 1
fi
echo "shipped package test passed in $loc"
