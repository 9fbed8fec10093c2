#!/usr/bin/env bash
# The setup wizard end to end under Wine: a real package made by mkstp from
# a product folder with Cyrillic names, setup.exe walked through its four
# pages with the keyboard and the mouse on an X server of its own (Xvfb),
# then the installed files (bytes, times, read-only attribute), the
# Start-menu group with its shortcuts, and that no copy of the
# configuration or of the picture is left anywhere.
#
#   wizard_gui_test.sh SETUP_EXE MKSTP WORKDIR
#
# MKSTP is the Linux build of mkstp (it reads the product folder's UTF-8
# names as they are; under Wine the ANSI code page of the locale might not
# hold them). The run uses the locale it is started in (LC_ALL) and a fresh
# Wine prefix of its own in WORKDIR/LOCALE, so runs in other locales never
# share one; screenshots of the pages land in WORKDIR/screenshots-LOCALE.
# Names are compared exactly when the locale's ANSI code page is the
# package's (Russian); elsewhere the OEM names read in another code page,
# and the files are found by their contents.
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

for tool in Xvfb xdotool import convert wine; do
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

# ---- the product: Cyrillic names, a folder, a read-only file, fixed times --------
note "product folder"
mkdir -p "$product/Документы"
printf 'MZ this stands for a program\r\n' >"$product/Программа.exe"
printf 'Справка в формате HLP\r\n' >"$product/Справка.hlp"
printf 'Прочтите меня.\r\n' >"$product/readme.txt"
printf 'Отчёт за год\r\n' >"$product/Документы/Отчёт.txt"
printf 'only read\r\n' >"$product/Документы/только-чтение.txt"
# Enough data for the progress page to be seen.
head -c 12000000 /dev/urandom >"$product/данные.bin"
stamp="2021-03-04 05:06:08"   # an even second: DOS times have two-second steps
find "$product" -type f -exec touch -d "$stamp" {} +
chmod a-w "$product/Документы/только-чтение.txt"
# A picture of the package's own for the header band.
LC_ALL=C convert -size 48x48 xc:white -fill '#3060c0' -draw 'circle 24,24 24,6' -type TrueColor \
  "BMP3:$work/iconsetup.bmp"

note "package by mkstp"
if ! "$mkstp" -q -o "$dist" --setup "$setup_exe" --name "Проверочный пакет 2.1" \
     --publisher "ООО Проверка" --web "http://www.example.ru" \
     --comment "Пакет для проверки мастера установки под Wine." \
     --picture "$work/iconsetup.bmp" "$product"; then
  echo "FAIL: mkstp could not make the package" >&2
  exit 1
fi
[ -f "$dist/setup.exe" ] && [ -f "$dist/setup.stp" ] || { echo "FAIL: mkstp left no setup.exe/setup.stp" >&2; exit 1; }

note "Wine prefix in $loc"
fresh_wine_prefix "$WINEPREFIX" "$loc"

walk_display_start || exit 1
note "walking the wizard on $DISPLAY"
folder_win='C:\Installed\Demo'
folder=$WINEPREFIX/drive_c/Installed/Demo
if ! walk_wizard "$dist/setup.exe" "$shots" "$folder_win"; then
  fail "the walk through the pages"
fi
for n in 0 1 2 3; do
  [ -s "$shots/page$n.png" ] || fail "no screenshot of page $n"
done
echo "screenshots: $shots"

# ---- installed files -------------------------------------------------------------
note "installed files in $folder"
[ -d "$folder" ] || fail "the install folder was not made"
ansi_is_package_cp=0
[ "${loc%%_*}" = ru ] && ansi_is_package_cp=1

# Files of the product by relative name.
mapfile -t sources < <(cd "$product" && find . -type f | sed 's|^\./||' | sort)
installed_count=$(cd "$folder" 2>/dev/null && find . -type f | wc -l)
[ "$installed_count" = "${#sources[@]}" ] ||
  fail "installed $installed_count files, the product has ${#sources[@]}"

# The installed twin of a product file: the same name (Russian locale), or
# else the one file at the same depth with the same bytes.
twin() {
  local rel=$1
  if [ $ansi_is_package_cp = 1 ] || LC_ALL=C grep -q '^[ -~]*$' <<<"$rel"; then
    [ -f "$folder/$rel" ] && echo "$folder/$rel"
    return
  fi
  local depth sum f
  depth=$(tr -cd / <<<"$rel" | wc -c)
  sum=$(sha256sum <"$product/$rel" | cut -d' ' -f1)
  while IFS= read -r f; do
    [ "$(tr -cd / <<<"${f#"$folder"/}" | wc -c)" = "$depth" ] || continue
    [ "$(sha256sum <"$f" | cut -d' ' -f1)" = "$sum" ] && { echo "$f"; return; }
  done < <(find "$folder" -type f)
}

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

# ---- Start-menu group ---------------------------------------------------------------
note "Start-menu group"
programs=$(grep -a '^"Programs"=' "$WINEPREFIX/user.reg" | head -1 | sed 's/^"Programs"="//; s/"$//; s/\\\\/\//g')
if [ -z "$programs" ]; then
  fail "no Programs value in the user's Shell Folders"
else
  group=$WINEPREFIX/drive_c/${programs#?:/}/setup
  [ -d "$group" ] || fail "no group folder $group"
  mapfile -t links < <(find "$group" -maxdepth 1 -name '*.lnk' -printf '%f\n' 2>/dev/null | sort)
  # Programs, help files and the readme: Программа.exe, Справка.hlp, readme.txt.
  [ "${#links[@]}" = 3 ] || fail "the group holds ${#links[@]} shortcuts, not 3: ${links[*]}"
  [ -f "$group/readme.lnk" ] || fail "no readme.lnk"
  if [ $ansi_is_package_cp = 1 ]; then
    for l in Программа.lnk Справка.lnk; do [ -f "$group/$l" ] || fail "no $l"; done
  fi
  for l in "${links[@]}"; do
    # A shell link: header size 0x4C, then the shell-link class id.
    head -c 20 "$group/$l" | od -An -tx1 | tr -d ' \n' |
      grep -q '^4c0000000114020000000000c000000000000046$' || fail "$l is no shell link"
    grep -aq 'Installed' "$group/$l" || fail "$l does not point into the install folder"
  done
fi

# ---- nothing left over ----------------------------------------------------------------
note "no configuration or picture copies"
left=$(find "$folder" "$dist" "$WINEPREFIX/drive_c" \( -iname setup.ins -o -iname iconsetup.bmp \) 2>/dev/null)
[ -z "$left" ] || fail "left behind: $left"
[ "$(ls "$dist")" = "$(printf 'setup.exe\nsetup.stp')" ] || fail "the package folder changed: $(ls "$dist" | tr '\n' ' ')"

if [ $failures -gt 0 ]; then
  echo "$failures check(s) failed" >&2
  exit 1
fi
echo "wizard GUI test passed in $loc"
