#!/usr/bin/env bash
# The setup wizard end to end under Wine: a real package with UTF-8 names
# in Cyrillic, Greek and Japanese (made by 7-Zip, the way a package is laid
# out), setup.exe walked through its four pages with the keyboard and the
# mouse on an X server of its own (Xvfb), with Enter on each focused
# button, into a folder of the user's profile, then the installed files
# under their real names (bytes, times, read-only attribute), the
# temporary folder in the profile, the uninstaller, the Add/Remove Programs
# entry, the Start-menu group with its shortcuts under their real names,
# and that no copy of the configuration or of the picture is left anywhere. Then the runs that need
# a window: the disk-space lines and the refusal of "Дальше >>" on a drive
# with too little room (the test build's free-space switch), Enter on
# "Отмена", "Отмена" during the copy of a bigger package answered Yes
# (everything rolled back), /SILENT, which shows the progress page only
# and closes at the end, a one-file setup with one byte flipped (the box
# before the first page, exit 1) and the same setup undamaged walked
# through its pages.
#
#   wizard_gui_test.sh SETUP_EXE MKSTP WORKDIR
#
# SETUP_EXE's folder also holds setup-test.exe, the build with the test
# switches.
# MKSTP is the Linux build of mkstp, which makes the packages of the other
# runs. The run uses the locale it is started in (LC_ALL), the user USER
# (scripts/test.sh gives the English run one whose name ANSI 1252 lacks)
# and a fresh Wine prefix of its own in WORKDIR/LOCALE, so runs in other
# locales never share one; screenshots of the pages land in
# WORKDIR/screenshots-LOCALE.
set -uo pipefail

here=$(cd "$(dirname "$0")" && pwd)
export WALK_TIMEOUT=${WALK_TIMEOUT:-40}   # seconds for any one step of the walk
. "$here/../../scripts/common.sh"
. "$here/../../scripts/wizard_walk.sh"
. "$here/../check_lib.sh"

setup_exe=$1
mkstp=${ZF_MKSTP:-$2}
loc=${LC_ALL:-en_US.UTF-8}
short=${loc%%.*}
export LC_ALL=$loc
work=$3/$short
shots=$3/screenshots-$short

note() { echo "--- $*"; }

for tool in Xvfb xdotool import convert wine 7zz; do
  command -v "$tool" >/dev/null || { echo "FAIL: $tool is missing (scripts/common.sh installs it)" >&2; exit 1; }
done
[ -x "$mkstp" ] || { echo "FAIL: no Linux mkstp at $mkstp (build the native configuration first)" >&2; exit 1; }
[ -f "$setup_exe" ] || { echo "FAIL: no $setup_exe" >&2; exit 1; }

rm -rf "$work" "$shots"
mkdir -p "$work"
product=$work/product
dist=$work/dist
export WINEPREFIX=$work/prefix

cleanup() {
  wineserver -k 2>/dev/null
  walk_display_stop
}
trap cleanup EXIT

# ---- the product: names in three scripts, folders, a read-only file, fixed times --
note "product folder"
mkdir -p "$product/Документы" "$product/Ελληνικά" "$product/日本語"
printf 'MZ this stands for a program\r\n' >"$product/Программа.exe"
printf 'MZ ツール\r\n' >"$product/ツール.exe"
printf 'Справка в формате HLP\r\n' >"$product/Справка.hlp"
printf 'Βοήθεια\r\n' >"$product/Βοήθεια.hlp"
printf 'Прочтите меня.\r\n' >"$product/readme.txt"
printf 'Отчёт за год\r\n' >"$product/Документы/Отчёт.txt"
printf 'Οδηγός χρήσης\r\n' >"$product/Ελληνικά/Οδηγός.txt"
printf '説明書\r\n' >"$product/日本語/説明書.txt"
printf 'only read\r\n' >"$product/Документы/только-чтение.txt"
# Enough data for the progress page to be seen for a second or two, even
# on a machine busy with other work.
head -c 48000000 /dev/urandom >"$product/данные.bin"
stamp="2021-03-04 05:06:08"   # an even second: DOS times have two-second steps
find "$product" -type f -exec touch -d "$stamp" {} +
chmod a-w "$product/Документы/только-чтение.txt"
# A picture of the package's own for the header band.
LC_ALL=C convert -size 48x48 xc:white -fill '#3060c0' -draw 'circle 24,24 24,6' -type TrueColor \
  "BMP3:$work/iconsetup.bmp"

# The package as the wizard reads it: every entry encrypted with the
# package password, the configuration (CP1251) and the picture at the root;
# 7-Zip writes the names in UTF-8 with their flag (-mcu=on).
note "package by 7-Zip with UTF-8 names"
stage=$work/stage
cp -a "$product" "$stage"
printf '[zel]\r\nfirma=ООО Проверка\r\nweb=http://www.example.ru\r\nname=Проверочный пакет 2.1\r\ncoment=Пакет для проверки мастера установки под Wine.\r\n' |
  iconv -f UTF-8 -t CP1251 >"$stage/setup.ins"
cp "$work/iconsetup.bmp" "$stage/iconsetup.bmp"
touch -d "$stamp" "$stage/setup.ins" "$stage/iconsetup.bmp"
mkdir -p "$dist"
password=$(sed -n 's/.*kPackagePassword = "\(.*\)";/\1/p' "$here/../../src/package/PackageFormat.h")
(cd "$stage" && 7zz a -tzip -mcu=on -mem=ZipCrypto -p"$password" -mx=1 "$dist/setup.stp" . >/dev/null) ||
  { echo "FAIL: 7-Zip could not make the package" >&2; exit 1; }
cp "$setup_exe" "$dist/setup.exe"

note "Wine prefix in $loc"
fresh_wine_prefix "$WINEPREFIX" "$loc"
# The profile's name: Wine's, from USER (else the account's).
user=${USER:-$(id -un)}
profile_win="C:\\users\\$user"
[ -d "$WINEPREFIX/drive_c/users/$user" ] || fail "no profile C:\\users\\$user"

walk_display_start || exit 1
note "walking the wizard on $DISPLAY"
# Into the profile, whose name the locale's ANSI code page may lack. The
# folder comes with /DIR= (xdotool loses characters outside the keyboard's
# map), and page 1 keeps it.
folder_win="$profile_win\\Программы\\Проверка"
folder=$WINEPREFIX/drive_c/users/$user/Программы/Проверка
if ! WALK_CHECK_KEYS=1 walk_wizard "$dist/setup.exe" "$shots" "" "$loc" "/DIR=$folder_win" \
     '/LOG=C:\walk.log'; then
  fail "the walk through the pages"
fi
for n in 0 1 2 3; do
  [ -s "$shots/page$n.png" ] || fail "no screenshot of page $n"
done
echo "screenshots: $shots"

# ---- installed files -------------------------------------------------------------
note "installed files in $folder"
[ -d "$folder" ] || fail "the install folder was not made"
# Files of the product by relative name.
mapfile -t sources < <(cd "$product" && find . -type f | sed 's|^\./||' | sort)
installed_count=$(cd "$folder" 2>/dev/null && find . -type f ! -name 'uninstall.*' | wc -l)
[ "$installed_count" = "${#sources[@]}" ] ||
  fail "installed $installed_count files, the product has ${#sources[@]}"
cmp -s "$setup_exe" "$folder/uninstall.exe" || fail "no copy of the wizard as uninstall.exe"
grep -q '^zfsetup journal' "$folder/uninstall.dat" 2>/dev/null || fail "no journal uninstall.dat"

# The installed twin of a product file: the file of the same name.
twin() { [ -f "$folder/$1" ] && echo "$folder/$1"; }

for rel in "${sources[@]}"; do
  dest=$(twin "$rel")
  if [ -z "$dest" ]; then
    fail "not installed: $rel"
    continue
  fi
  cmp -s "$product/$rel" "$dest" || fail "bytes differ: $rel"
  want=$(stat -c %Y "$product/$rel")
  got=$(stat -c %Y "$dest")
  diff=$((got - want))
  [ ${diff#-} -le 2 ] || fail "time of $rel: $(date -d "@$got") instead of $(date -d "@$want")"
done

# Read-only: Wine keeps it as a file without write permission.
ro=$(twin "Документы/только-чтение.txt")
if [ -n "$ro" ]; then
  [ "$(stat -c %A "$ro" | cut -c3,6,9 | tr -d -)" = "" ] || fail "read-only attribute lost: $ro"
fi
rw=$(twin "readme.txt")
[ -n "$rw" ] && [ "$(stat -c %A "$rw" | cut -c3)" = w ] || fail "readme.txt should stay writable"

# The temporary folder of the start-up lay in the profile.
grep -qF "Temporary folder: $profile_win\\Temp\\" "$WINEPREFIX/drive_c/walk.log" ||
  fail "the temporary folder is not in $profile_win\\Temp: $(grep -a 'Temporary folder' "$WINEPREFIX/drive_c/walk.log")"

# ---- Start-menu group ---------------------------------------------------------------
note "Start-menu group"
programs=$(wine_reg "$WINEPREFIX/user.reg" \
  'Software\Microsoft\Windows\CurrentVersion\Explorer\Shell Folders' Programs | tr '\\' /)
if [ -z "$programs" ]; then
  fail "no Programs value in the user's Shell Folders"
else
  [[ $programs == "C:/users/$user/"* ]] || fail "the Programs folder $programs is not in the profile"
  group=$WINEPREFIX/drive_c/${programs#?:/}/setup
  [ -d "$group" ] || fail "no group folder $group"
  mapfile -t links < <(find "$group" -maxdepth 1 -name '*.lnk' -printf '%f\n' 2>/dev/null | LC_ALL=C sort)
  # Programs, help files and the readme, under their real names.
  want_links=(readme.lnk Βοήθεια.lnk Программа.lnk Справка.lnk ツール.lnk)
  [ "${links[*]}" = "${want_links[*]}" ] || fail "the group holds \"${links[*]}\", not \"${want_links[*]}\""
  for l in "${links[@]}"; do
    # A shell link: header size 0x4C, then the shell-link class id.
    head -c 20 "$group/$l" | od -An -tx1 | tr -d ' \n' |
      grep -q '^4c0000000114020000000000c000000000000046$' || fail "$l is no shell link"
    # Its target's path, in UTF-16 or in the ANSI code page (UTF-8).
    python3 -c 'import sys; d = open(sys.argv[1], "rb").read(); w = sys.argv[2]
sys.exit(not any(w.encode(e) in d for e in ("utf-16-le", "utf-8")))' "$group/$l" 'Программы\Проверка' ||
      fail "$l does not point into the install folder"
  done
fi

# ---- Add/Remove Programs ------------------------------------------------------------
note "Add/Remove Programs"
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\setup'
entry=$(wine reg query "$key" 2>/dev/null | tr -d '\r')
for value in DisplayName Publisher URLInfoAbout DisplayIcon InstallLocation UninstallString \
             QuietUninstallString EstimatedSize NoModify NoRepair; do
  grep -q "^ *$value " <<<"$entry" || fail "the entry has no $value"
done
quiet_uninstall=$(wine_reg "$WINEPREFIX/system.reg" \
  'Software\Microsoft\Windows\CurrentVersion\Uninstall\setup' QuietUninstallString)
[ "$quiet_uninstall" = "\"$folder_win\\uninstall.exe\" /VERYSILENT" ] ||
  fail "QuietUninstallString: $quiet_uninstall"
grep -q 'NoModify *REG_DWORD *0x1' <<<"$entry" || fail "NoModify is not 1"
wine uninstaller --list 2>/dev/null | tr -d '\r' | grep -q '^setup|||' ||
  fail "wine uninstaller --list does not show the product"

# ---- nothing left over ----------------------------------------------------------------
note "no configuration or picture copies"
left=$(find "$folder" "$dist" "$WINEPREFIX/drive_c" \( -iname setup.ins -o -iname iconsetup.bmp \) 2>/dev/null)
[ -z "$left" ] || fail "left behind: $left"
[ "$(ls "$dist")" = "$(printf 'setup.exe\nsetup.stp')" ] || fail "the package folder changed: $(ls "$dist" | tr '\n' ' ')"

# ---- disk space, and Enter on "Отмена" -------------------------------------------------
# The test build in the place of setup.exe, with the same package: the
# drives report 1000 bytes free.
note "too little space: the lines, the refusal, Enter on \"Отмена\""
space=$work/space
mkdir -p "$space"
cp "$(dirname "$setup_exe")/setup-test.exe" "$space/setup.exe"
ln -sf "$dist/setup.stp" "$space/setup.stp"
log_win='C:\space.log'
log=$WINEPREFIX/drive_c/space.log
tmp=$work/tmp
mkdir -p "$tmp"
walk_start "$space/setup.exe" /ZF-TEST-FREE-SPACE=1000 "/LOG=$log_win"
# wait_log TEXT: until the log has a line with TEXT.
wait_log() {
  local deadline=$((SECONDS + WALK_TIMEOUT))
  while [ $SECONDS -lt $deadline ]; do
    grep -q "$1" "$log" 2>/dev/null && return 0
    sleep 0.2
  done
  return 1
}
if walk_wait_page 03 "$tmp/now.png"; then
  for try in 1 2 3 4 5; do
    walk_click 300 60; sleep 0.3; walk_key Return
    WALK_TIMEOUT=4 walk_wait_page 1 "$tmp/now.png" 2>/dev/null && break
  done
  sleep 0.5
  walk_shot "$tmp/now.png" && walk_save "$tmp/now.png" "$shots/space-page1.png"
  walk_key Return   # "Дальше >>": refused
  wait_log 'Error: Недостаточно места на диске для установки' || fail "no refusal for too little space"
  sleep 0.5
  walk_shot "$tmp/now.png" && walk_save "$tmp/now.png" "$shots/space-refused.png"
  walk_key Return   # the box's OK
  sleep 0.5
  walk_shot "$tmp/now.png"
  [ "$(walk_page "$tmp/now.png")" = 1 ] || fail "the refusal did not stay on page 1"
  # The field, then Shift+Tab: the focus on "Отмена"; Enter cancels.
  walk_click 150 $((WALK_PAGE_TOP + 98))
  walk_key shift+Tab
  sleep 0.3
  walk_key Return
fi
walk_end || fail "Enter on \"Отмена\" did not end the wizard"
grep -q 'Exit code 2' "$log" 2>/dev/null || fail "the cancelled wizard did not end with exit code 2"
[ -d "$WINEPREFIX/drive_c/Program Files/setup" ] && fail "the refused install left a folder"
grep -q 'Disk space: .* free 1000 bytes' "$log" 2>/dev/null || fail "the log has no disk-space line"

# ---- cancel during the copy --------------------------------------------------------------
note "\"Отмена\" during the copy of a bigger package, answered Yes"
big=$work/big
mkdir -p "$big/product/data"
for i in $(seq -w 1 300); do head -c 200000 /dev/urandom >"$big/product/data/part$i.bin"; done
printf 'MZ big\r\n' >"$big/product/big.exe"
"$mkstp" -q -o "$big/dist" --setup "$setup_exe" --level 0 --name "Большой пакет" "$big/product" ||
  fail "mkstp could not make the big package"
log_win='C:\cancel.log'
log=$WINEPREFIX/drive_c/cancel.log
walk_start "$big/dist/setup.exe" '/DIR=C:\Big\Product' "/LOG=$log_win"
if walk_wait_page 03 "$tmp/now.png"; then
  for try in 1 2 3 4 5; do
    walk_click 300 60; sleep 0.3; walk_key Return
    WALK_TIMEOUT=4 walk_wait_page 1 "$tmp/now.png" 2>/dev/null && break
  done
  # Enter starts the copy; Esc once some files are in place.
  walk_key Return
  wait_log 'part010.bin' || fail "the copy did not begin"
  walk_key Escape
  if wait_log 'Asked: Прервать установку?'; then
    sleep 0.7
    walk_shot "$tmp/now.png" && walk_save "$tmp/now.png" "$shots/cancel-question.png"
    walk_key Return   # Yes, the default button
  else
    fail "Esc during the copy asked nothing"
  fi
fi
walk_end || fail "the cancelled install did not end"
grep -q 'File installed: ' "$log" || fail "the copy had not begun when it was cancelled"
grep -q 'Rollback: removed C:\\Big\\Product\\data\\part010.bin' "$log" || fail "nothing was rolled back"
grep -q 'File installed: C:\\Big\\Product\\data\\part300.bin' "$log" &&
  fail "the copy ran to its end although cancelled"
grep -q 'Exit code 2' "$log" || fail "the cancelled install did not end with exit code 2"
[ -e "$WINEPREFIX/drive_c/Big" ] && fail "the cancelled install left $(find "$WINEPREFIX/drive_c/Big" | head -3)"
wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\setup' >/dev/null 2>&1 ||
  fail "the earlier install's entry went with the cancelled one"
echo "the cancel question: $shots/cancel-question.png"

# ---- /SILENT --------------------------------------------------------------------------------
note "/SILENT: the progress window only, closed at the end"
log=$WINEPREFIX/drive_c/silent.log
walk_start "$dist/setup.exe" /SILENT '/DIR=C:\Silent\Demo' '/LOG=C:\silent.log'
seen=0
if walk_wait_page 2 "$tmp/now.png"; then
  seen=1
  walk_save "$tmp/now.png" "$shots/silent.png"
fi
[ $seen = 1 ] || fail "/SILENT showed no progress page"
walk_end || fail "/SILENT did not end by itself"
grep -q 'Exit code 0' "$log" 2>/dev/null || fail "/SILENT did not end with exit code 0"
[ -f "$WINEPREFIX/drive_c/Silent/Demo/uninstall.exe" ] || fail "/SILENT installed no uninstaller"

# ---- the package as shipped: a damaged one, and one file through the pages -----------------
note "a one-file setup with one byte flipped: the box before the first page, exit 1"
shipped=$work/shipped
"$mkstp" -q -o "$shipped" --setup "$setup_exe" --single-file --base "Один файл" \
  --name "Один файл" "$product" || fail "mkstp could not make the one-file setup"
one="$shipped/Один файл.exe"
cp "$one" "$shipped/damaged.exe"
python3 -c 'import sys
p = sys.argv[1]; d = bytearray(open(p, "rb").read()); d[len(d) * 3 // 4] ^= 1; open(p, "wb").write(d)' \
  "$shipped/damaged.exe"
log=$WINEPREFIX/drive_c/damaged.log
walk_start "$shipped/damaged.exe" '/LOG=C:\damaged.log'
if wait_log 'Error: '; then
  # The box shows: the desktop picture is no longer one colour.
  for i in $(seq 50); do
    walk_shot "$tmp/now.png" 2>/dev/null &&
      [ "$(LC_ALL=C convert "$tmp/now.png" -trim -format '%w' info:- 2>/dev/null)" -gt 50 ] && break
    sleep 0.2
  done
  LC_ALL=C convert "$tmp/now.png" -trim +repage "$shots/damaged-box.png" ||
    fail "no picture of the damaged package's box"
  walk_key Return
else
  fail "the damaged package showed no error"
fi
walk_end || fail "the damaged package's box did not end the wizard"
grep -q 'Package damaged: ' "$log" && grep -q 'Exit code 1' "$log" ||
  fail "the damaged package did not end with exit code 1: $(grep -a -e Package -e 'Exit code' "$log")"
grep -q 'Temporary folder' "$log" && fail "the damaged package was read"

note "the one-file setup walked through its pages"
if ! walk_wizard "$one" "$shots/one-file" "" "$loc" '/DIR=C:\One File' '/LOG=C:\one.log'; then
  fail "the walk through the one-file setup"
fi
for rel in "${sources[@]}"; do
  cmp -s "$product/$rel" "$WINEPREFIX/drive_c/One File/$rel" || fail "one file: not installed: $rel"
done
cmp -s "$setup_exe" "$WINEPREFIX/drive_c/One File/uninstall.exe" ||
  fail "one file: the uninstaller is not the plain wizard"

# ---- 144 DPI --------------------------------------------------------------------------------
# The same window at 1.5 times the size: the client area 759 x 479, the
# text drawn at 144 DPI (wider than the 96-DPI page's by about as much).
note "144 DPI: the window and its text at 1.5 times the size"
wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 144 /f >/dev/null 2>&1
wineserver -w
WALK_DPI=144 WALK_DESKTOP_SIZE=1024x768
walk_start "$dist/setup.exe"
if walk_wait_page 03 "$tmp/now.png"; then
  sleep 0.5
  walk_shot "$tmp/now.png" && walk_save "$tmp/now.png" "$shots/page0-144dpi.png"
  read -r w h _ <<<"$WALK_BOX"
  [ $((w - 759)) -ge 0 ] && [ $((w - 759)) -le 24 ] && [ $((h - 479)) -ge 10 ] ||
    fail "the window at 144 DPI is ${w}x$h, not one around a 759 x 479 client area"
  # welcome_ink SHOT: the width of the welcome text's ink on a saved page
  # (the window's frame is as wide left as right, the caption on top).
  welcome_ink() {
    local sw sh b
    read -r sw sh <<<"$(LC_ALL=C identify -format '%w %h' "$1")"
    b=$(( (sw - $(walk_px 506)) / 2 ))
    LC_ALL=C convert "$1" -crop "$(walk_px 420)x$(walk_px 40)+$((b + $(walk_px 20)))+$((sh - b - $(walk_px 319) + $(walk_px $((WALK_PAGE_TOP + 22)))))" \
      +repage -threshold 50% -trim -format '%w' info:- 2>/dev/null
  }
  wide=$(welcome_ink "$shots/page0-144dpi.png")
  narrow=$(WALK_DPI=96 welcome_ink "$shots/page0.png")
  ratio=$(( ${wide:-0} * 100 / ${narrow:-1} ))
  [ $ratio -ge 135 ] && [ $ratio -le 165 ] ||
    fail "the welcome text is ${wide:-?} pixels wide at 144 DPI and ${narrow:-?} at 96"
  walk_click 300 60; sleep 0.3; walk_key Escape
fi
walk_end || fail "the wizard at 144 DPI did not end on Esc"
WALK_DPI=96 WALK_DESKTOP_SIZE=800x600

if [ $failures -gt 0 ]; then
  echo "$failures check(s) failed" >&2
  exit 1
fi
echo "wizard GUI test passed in $loc"
