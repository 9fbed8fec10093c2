#!/usr/bin/env bash
# The README's pictures of the wizard's choices: the demo product packed
# with everything a package may offer (English beside Russian, "Launch
# Hello" on the final page, a desktop shortcut, for all users or just for
# me), walked under Wine in Russian and in English at 96 DPI and in English
# at 144 DPI, each page saved to docs/screenshots/<ru|en|en-144dpi>/, and
# the greeting of the program the final page started. Needs the native and
# one Windows build (scripts/demo.sh makes both); ZF_WINDOWS_BUILD picks
# the Windows one (default win64).
set -euo pipefail
. "$(dirname "$0")/common.sh"
. "$(dirname "$0")/wizard_walk.sh"
build=${ZF_WINDOWS_BUILD:-win64}
[ "$build" = win64 ] && use_wine64
bin=$ROOT/build/$build/bin
work=$ROOT/build/screenshots
rm -rf "$work"
mkdir -p "$work/product"
cp -p "$bin/hello.exe" "$ROOT/examples/demo/readme.txt" "$ROOT/examples/demo/help.txt" "$work/product/"
"$ROOT/build/native/bin/mkstp" -q --project "$ROOT/examples/demo/product.ini" -o "$work/dist" \
  --base setup --setup "$bin/setup.exe" --languages ru,en \
  --name.en "Hello, a demonstration program" --publisher.en "Demo Publisher" \
  --comment.en "Welcome! The wizard will install the Hello program on this computer." \
  --run hello.exe --desktop-shortcut hello.exe --privileges both "$work/product"

walk_display_start
trap 'wineserver -k 2>/dev/null || true; walk_display_stop' EXIT
# shoot TAG LOCALE DPI: one walk, its pages in docs/screenshots/TAG/.
shoot() {
  local tag=$1 loc=$2 dpi=$3 shots=$ROOT/docs/screenshots/$1 tmp=$work/tmp-$1 i
  log "$tag: $loc at $dpi DPI"
  export WINEPREFIX=$work/prefix-$tag WALK_DPI=$dpi WALK_DESKTOP_SIZE=1024x768
  fresh_wine_prefix "$WINEPREFIX" "$loc"
  LC_ALL=$loc wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f \
    >/dev/null 2>&1
  wineserver -w
  mkdir -p "$shots" "$tmp"
  WALK_LOCALE=$loc walk_start "$work/dist/setup.exe"
  walk_walk_pages "$tmp" "$shots" ""
  # "Выход" started the program: its greeting, then OK.
  local w
  for i in $(seq 100); do
    w=$(walk_shot "$tmp/now.png" && walk_window_box "$tmp/now.png" | cut -d' ' -f1)
    [ "${w:-0}" -gt 50 ] && [ "${w:-0}" -lt 500 ] && break
    sleep 0.2
  done
  sleep 0.5
  walk_shot "$tmp/now.png" && LC_ALL=C convert "$tmp/now.png" -trim +repage "$shots/launched.png"
  walk_key Return
  walk_end || true
  ls "$shots"
}
shoot ru ru_RU.UTF-8 96
shoot en en_US.UTF-8 96
shoot en-144dpi en_US.UTF-8 144
