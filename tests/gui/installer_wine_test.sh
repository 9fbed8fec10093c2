#!/usr/bin/env bash
# The installer end to end under Wine without a window: silent installs
# (/VERYSILENT /SUPPRESSMSGBOXES) of a real package made by mkstp, the
# Add/Remove Programs entry seen by `reg query` and `wine uninstaller
# --list`, a reinstall over the install, the silent uninstall that keeps a
# file the user added and one the user changed, a package with one damaged
# entry near its end (exit 3, the file it replaced restored, nothing else
# left), /NOICONS, the exit codes of a bad switch, a missing package and
# an uninstaller with nothing to uninstall, and a package with choices:
# its language, /CURRENTUSER into the profile with its entry in HKCU, /RUN,
# the desktop shortcut made and removed, and the hand-over of a
# per-machine install and removal to an elevated copy.
#
#   installer_wine_test.sh SETUP_EXE MKSTP WORKDIR
#
# It runs in the Wine prefix of the caller (WINEPREFIX, as scripts/test.sh
# gives each locale's run) or, without one, in a fresh prefix of its own;
# its product's base name is its own (zfsilent), so it meets no other
# test's entry.
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
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\zfsilent'

# run_wine EXE ARGS...: the program's exit status in $rc, no window.
run_wine() {
  DISPLAY= wine "$@" </dev/null >/dev/null 2>&1
  rc=$?
}
quiet=(/VERYSILENT /SUPPRESSMSGBOXES)
# wait_gone PATH: the uninstaller's clean-up copy deletes it once the
# uninstaller has ended (the Wine server may be a persistent one, so its
# end is no sign).
wait_gone() {
  local i
  for i in $(seq 100); do
    [ -e "$1" ] || return 0
    sleep 0.2
  done
  return 1
}

# ---- the product ----------------------------------------------------------------------
product=$work/product
mkdir -p "$product/Справка" "$product/bin"
printf 'MZ the program\r\n' >"$product/prog.exe"
printf 'the program'"'"'s help\r\n' >"$product/prog.hlp"
printf 'read me\r\n' >"$product/readme.txt"
printf 'Раздел справки\r\n' >"$product/Справка/Раздел.txt"
printf 'only read\r\n' >"$product/bin/readonly.dat"
chmod a-w "$product/bin/readonly.dat"
head -c 300000 /dev/urandom >"$product/bin/data.bin"
"$mkstp" -q -o "$work/dist" --base zfsilent --setup "$setup_exe" --name "Тихий пакет" \
  --publisher "ООО Тишина" --web "http://quiet.example" "$product" ||
  { echo "FAIL: mkstp could not make the package" >&2; exit 1; }
setup=$work/dist/zfsilent.exe

# ---- a silent install -------------------------------------------------------------------
note "silent install"
dir_win='C:\Zf Silent\Prod'
dir=$drive_c/Zf\ Silent/Prod
run_wine "$setup" "${quiet[@]}" "/DIR=$dir_win" '/LOG=C:\zf-install.log'
[ $rc = 0 ] || fail "the silent install ended with $rc"
for f in prog.exe prog.hlp readme.txt bin/data.bin bin/readonly.dat uninstall.exe uninstall.dat; do
  [ -f "$dir/$f" ] || fail "not installed: $f"
done
cmp -s "$product/bin/data.bin" "$dir/bin/data.bin" || fail "data.bin differs"
[ "$(find "$dir" -type f | wc -l)" = 8 ] || fail "installed $(find "$dir" -type f | wc -l) files, not 8"
log=$drive_c/zf-install.log
iconv -f UTF-8 -t UTF-8 "$log" >/dev/null 2>&1 || fail "the log is not UTF-8"
# setup.exe runs in UTF-8 by its manifest and reads names without the
# UTF-8 flag in the OEM code page of the system's locale.
case $loc in ru*) oem=866 ;; tr*) oem=857 ;; *) oem=437 ;; esac
for line in "Code pages: ANSI 65001, OEM $oem" "Folder created: C:\\Zf Silent" \
            "File installed: C:\\Zf Silent\\Prod\\prog.exe" \
            "Registered in Add/Remove Programs" "Install complete" "Exit code 0"; do
  grep -qF "$line" "$log" || fail "the log lacks \"$line\""
done

note "the Add/Remove Programs entry"
entry=$(wine reg query "$key" 2>/dev/null | tr -d '\r')
grep -q 'UninstallString *REG_SZ *"C:\\Zf Silent\\Prod\\uninstall.exe"$' <<<"$entry" ||
  fail "UninstallString: $(grep ' UninstallString' <<<"$entry")"
grep -q 'InstallLocation *REG_SZ *C:\\Zf Silent\\Prod\\$' <<<"$entry" || fail "InstallLocation"
grep -q 'DisplayIcon *REG_SZ *C:\\Zf Silent\\Prod\\prog.exe$' <<<"$entry" || fail "DisplayIcon"
grep -q 'URLInfoAbout *REG_SZ *http://quiet.example$' <<<"$entry" || fail "URLInfoAbout"
grep -q 'NoRepair *REG_DWORD *0x1$' <<<"$entry" || fail "NoRepair"
size=$(sed -n 's/.*EstimatedSize *REG_DWORD *0x\([0-9a-f]*\)$/\1/p' <<<"$entry")
[ -n "$size" ] && [ $((16#$size)) -ge 292 ] || fail "EstimatedSize 0x$size KiB is below the data's size"
listed() { DISPLAY= wine uninstaller --list 2>/dev/null | tr -d '\r' | grep -c '^zfsilent|||'; }
[ "$(listed)" = 1 ] || fail "wine uninstaller --list shows the product $(listed) times"
programs=$(wine_reg "$WINEPREFIX/user.reg" \
  'Software\Microsoft\Windows\CurrentVersion\Explorer\Shell Folders' Programs | tr '\\' /)
group=$drive_c/${programs#?:/}/zfsilent
[ -f "$group/prog.lnk" ] && [ -f "$group/prog.hlp.lnk" ] && [ -f "$group/readme.lnk" ] ||
  fail "the group lacks a shortcut: $(ls "$group" 2>&1 | tr '\n' ' ')"

# ---- reinstall ------------------------------------------------------------------------------
note "reinstall over the install"
run_wine "$setup" "${quiet[@]}" "/DIR=$dir_win"
[ $rc = 0 ] || fail "the reinstall ended with $rc"
[ "$(listed)" = 1 ] || fail "after the reinstall the product is listed $(listed) times"
dups=$(sort "$dir/uninstall.dat" | uniq -d)
[ -z "$dups" ] || fail "the journal lists twice: $dups"
[ "$(grep -c '^file' "$dir/uninstall.dat")" = 6 ] || fail "the journal does not list the 6 files"

# ---- the uninstall --------------------------------------------------------------------------
note "silent uninstall keeps what the user made"
printf 'mine\r\n' >"$dir/bin/my notes.txt"
printf 'changed by the user\r\n' >"$dir/readme.txt"
run_wine "$dir/uninstall.exe" "${quiet[@]}"
[ $rc = 0 ] || fail "the uninstall ended with $rc"
wait_gone "$dir/uninstall.exe" || fail "the clean-up copy did not delete uninstall.exe"
for f in prog.exe prog.hlp bin/data.bin bin/readonly.dat uninstall.exe uninstall.dat; do
  [ -e "$dir/$f" ] && fail "left after the uninstall: $f"
done
[ -f "$dir/bin/my notes.txt" ] || fail "the user's file went"
[ "$(cat "$dir/readme.txt" 2>/dev/null)" = "changed by the user"$'\r' ] || fail "the changed readme went"
[ -d "$group" ] && fail "the group is left: $(ls "$group")"
wine reg query "$key" >/dev/null 2>&1 && fail "the entry is left in the registry"
[ "$(listed)" = 0 ] || fail "wine uninstaller --list still shows the product"
rm -rf "$drive_c/Zf Silent"

# ---- nothing to uninstall, bad switch, no package ---------------------------------------------
note "exit codes 4 and 1"
mkdir -p "$work/alone"
cp "$setup_exe" "$work/alone/uninstall.exe"
run_wine "$work/alone/uninstall.exe" "${quiet[@]}"
[ $rc = 4 ] || fail "an uninstaller without a journal ended with $rc, not 4"
run_wine "$setup" "${quiet[@]}" /FASTER
[ $rc = 1 ] || fail "a bad switch ended with $rc, not 1"
cp "$setup_exe" "$work/alone/nopackage.exe"
run_wine "$work/alone/nopackage.exe" "${quiet[@]}"
[ $rc = 1 ] || fail "a missing package ended with $rc, not 1"

# ---- a damaged entry near the end -------------------------------------------------------------
note "one damaged entry near the end: exit 3, nothing left"
cp "$work/dist/zfsilent.stp" "$work/damaged.stp"
# One byte in the data of the last file entry, Справка/Раздел.txt (past its
# 12-byte encryption header).
python3 - "$work/damaged.stp" <<'PY'
import struct, sys, zipfile
path = sys.argv[1]
with zipfile.ZipFile(path) as z:
    info = [i for i in z.infolist() if not i.is_dir()][-1]
with open(path, "r+b") as f:
    f.seek(info.header_offset)
    local = f.read(30)
    name_len, extra_len = struct.unpack("<HH", local[26:30])
    at = info.header_offset + 30 + name_len + extra_len + 12 + info.compress_size // 2
    f.seek(at)
    b = f.read(1)
    f.seek(at)
    f.write(bytes([b[0] ^ 0x5A]))
PY
# The wizard as built, without the digest mkstp writes into its copy: the
# damage is met by the entry's CRC-32 in the middle of the install, not by
# the check before the first page.
mkdir -p "$work/dist2"
cp "$setup_exe" "$work/dist2/zfsilent.exe"
mv "$work/damaged.stp" "$work/dist2/zfsilent.stp"
mkdir -p "$drive_c/Zf Damaged"
printf 'an older program\r\n' >"$drive_c/Zf Damaged/prog.exe"
run_wine "$work/dist2/zfsilent.exe" "${quiet[@]}" '/DIR=C:\Zf Damaged' '/LOG=C:\zf-damaged.log'
[ $rc = 3 ] || fail "the damaged package ended with $rc, not 3"
[ "$(ls -A "$drive_c/Zf Damaged")" = prog.exe ] || fail "left: $(ls -A "$drive_c/Zf Damaged" | tr '\n' ' ')"
[ "$(cat "$drive_c/Zf Damaged/prog.exe")" = "an older program"$'\r' ] || fail "the replaced program was not restored"
grep -q 'Error: Пакет установки повреждён: "' "$drive_c/zf-damaged.log" ||
  fail "the log does not tell the damaged package: $(grep Error "$drive_c/zf-damaged.log")"
grep -q 'Backup kept of C:\\Zf Damaged\\prog.exe' "$drive_c/zf-damaged.log" ||
  fail "the replaced program was not backed up before the damaged entry"
grep -q 'Native error: 00008' "$drive_c/zf-damaged.log" || fail "the log lacks the engine's native code"
wine reg query "$key" >/dev/null 2>&1 && fail "the failed install left its entry"
[ -d "$group" ] && fail "the failed install left its group"
rm -rf "$drive_c/Zf Damaged"

# ---- no icons -------------------------------------------------------------------------------------
note "/NOICONS"
run_wine "$setup" "${quiet[@]}" /noicons '/DIR=C:\Zf NoIcons'
[ $rc = 0 ] || fail "the install without icons ended with $rc"
[ -d "$group" ] && fail "/NOICONS made the group"
run_wine "$drive_c/Zf NoIcons/uninstall.exe" /verysilent
[ $rc = 0 ] || fail "its uninstall ended with $rc"
wait_gone "$drive_c/Zf NoIcons"
[ -e "$drive_c/Zf NoIcons" ] && fail "the uninstall left $(find "$drive_c/Zf NoIcons")"

# ---- what a package may offer --------------------------------------------------------------------
# English beside Russian, a program started at the end (a stand-in that
# leaves a marker), a desktop shortcut, and the install for the user alone
# or for all users.
note "a package with choices: per-user with /RUN and the desktop shortcut"
choices=$work/choices
mkdir -p "$choices/product"
cp "$(dirname "$setup_exe")/launch_marker.exe" "$choices/product/marker.exe"
"$mkstp" -q -o "$choices/dist" --base zfchoices --setup "$setup_exe" --languages ru,en \
  --name "Выбор" --name.en "Choices" --run marker.exe --desktop-shortcut marker.exe \
  --privileges both "$choices/product" || fail "mkstp could not make the package with choices"
# The wizard speaks the user's language: Russian in ru_RU, English elsewhere.
case $loc in ru*) lang=ru name=Выбор ;; *) lang=en name=Choices ;; esac
shell_folder() {
  local v
  v=$(wine_reg "$WINEPREFIX/user.reg" 'Software\Microsoft\Windows\CurrentVersion\Explorer\Shell Folders' "$1")
  echo "$drive_c/$(tr '\\' / <<<"${v#?:\\}")"
}
user_dir=$(shell_folder 'Local AppData')/Programs/zfchoices
link=$(shell_folder Desktop)/$name.lnk
ukey='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\zfchoices'
mkey=${ukey/HKCU/HKLM}
run_wine "$choices/dist/zfchoices.exe" "${quiet[@]}" /CURRENTUSER /RUN '/LOG=C:\zf-choices.log'
[ $rc = 0 ] || fail "the per-user install ended with $rc"
grep -q "Language: $lang" "$drive_c/zf-choices.log" || fail "the wizard did not speak $lang"
[ -f "$user_dir/marker.exe" ] || fail "nothing installed in $user_dir"
for i in $(seq 50); do [ -f "$user_dir/launched.txt" ] && break; sleep 0.2; done
started_in=$(head -1 "$user_dir/launched.txt" 2>/dev/null | tr -d '\r')
[ "${started_in,,}" = "$(sed 's|.*drive_c|c:|; s|/|\\|g' <<<"${user_dir,,}")" ] ||
  fail "/RUN did not start the program in its folder (${started_in:-not started})"
# (reg prints in the console's code page: only the ASCII part is compared.)
wine reg query "$ukey" 2>/dev/null | tr -d '\r' |
  grep -q 'UninstallString *REG_SZ *".*\\Programs\\zfchoices\\uninstall.exe"$' ||
  fail "no entry in HKCU for the install in the profile"
wine reg query "$mkey" >/dev/null 2>&1 && fail "the per-user install wrote HKLM"
[ -f "$link" ] || fail "no desktop shortcut $link"
grep -q "^desktop" "$user_dir/uninstall.dat" || fail "the journal does not name the desktop shortcut"
run_wine "$user_dir/uninstall.exe" "${quiet[@]}"
[ $rc = 0 ] || fail "the per-user uninstall ended with $rc"
wait_gone "$user_dir/uninstall.exe" || fail "the per-user uninstaller was not deleted"
[ -e "$link" ] && fail "the uninstall left the desktop shortcut"
wine reg query "$ukey" >/dev/null 2>&1 && fail "the uninstall left the HKCU entry"

note "for all users, handed over to an elevated copy; /CURRENTUSER refused by an admin package"
run_wine "$setup" "${quiet[@]}" /CURRENTUSER
[ $rc = 1 ] || fail "/CURRENTUSER on a package for all users ended with $rc, not 1"
# The test build takes itself for a program without administrator rights.
mkdir -p "$choices/elevate"
cp "$(dirname "$setup_exe")/setup-test.exe" "$choices/elevate/zfchoices.exe"
cp "$choices/dist/zfchoices.stp" "$choices/elevate/"
elog=$drive_c/zf-elevated.log
run_wine "$choices/elevate/zfchoices.exe" "${quiet[@]}" /ZF-TEST-NOT-ELEVATED /ALLUSERS /NODESKTOP \
  '/DIR=C:\Zf Elevated' '/LOG=C:\zf-elevated.log'
[ $rc = 0 ] || fail "the handed-over install ended with $rc"
grep -q 'Handing over to a copy with administrator rights: /VERYSILENT /SUPPRESSMSGBOXES /LOG=C:\\zf-elevated.log /DIR=C:\\Zf Elevated\\* /NODESKTOP /ALLUSERS /ZF-ELEVATED' "$elog" ||
  fail "the log does not show the hand-over: $(grep -a Handing "$elog")"
grep -q '(the copy with administrator rights)' "$elog" || fail "no elevated copy ran"
[ "$(grep -c 'Exit code 0' "$elog")" = 2 ] || fail "the log lacks either run's end"
[ -f "$drive_c/Zf Elevated/marker.exe" ] || fail "the elevated copy installed nothing"
wine reg query "$mkey" >/dev/null 2>&1 || fail "the per-machine install has no HKLM entry"
[ -e "$link" ] && fail "/NODESKTOP made a desktop shortcut"
[ -e "$drive_c/Zf Elevated/launched.txt" ] && fail "a silent install without /RUN started the program"
run_wine "$drive_c/Zf Elevated/uninstall.exe" "${quiet[@]}" /ZF-TEST-NOT-ELEVATED
[ $rc = 0 ] || fail "the handed-over uninstall ended with $rc"
wait_gone "$drive_c/Zf Elevated/uninstall.exe"
wine reg query "$mkey" >/dev/null 2>&1 && fail "the elevated uninstall left the HKLM entry"

if [ $failures -gt 0 ]; then
  echo "$failures check(s) failed" >&2
  exit 1
fi
echo "installer test passed in $loc"
