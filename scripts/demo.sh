#!/usr/bin/env bash
# The main job: installs what is missing, builds the Linux and Windows
# programs (the i686 build where the host runs 32-bit programs, else the
# x86_64 one under wine64; ZF_HOST_RUNS_I386=yes|no forces either), makes
# the one-file setup dist/setup.exe from examples/demo with mkstp and the
# project file examples/demo/product.ini, and runs the wizard under Wine: in a window of the current display
# when there is one, else on an Xvfb of its own. It walks the four pages,
# installs the demo into C:\Demo\Hello of a Wine prefix in build/, and
# saves a screenshot of each page to dist/screenshots/. Then it shows the
# product in Add/Remove Programs and removes it with its uninstaller,
# answering the uninstaller's question and saving its two boxes too.
set -euo pipefail
. "$(dirname "$0")/common.sh"
. "$(dirname "$0")/wizard_walk.sh"

install_dependencies
build_native
# The demo's Windows build: the first the host can run (the i686 one ships).
WIN_BUILD=${ZF_WINDOWS_BUILDS[0]}
"build_$WIN_BUILD"
if [ "$WIN_BUILD" = win64 ]; then
  use_wine64
  WIN_WHAT="the x86_64 build under wine64"
else
  WIN_WHAT="the i686 build under Wine"
fi

log "built for Linux (build/native/bin)"
ls -l "$ROOT/build/native/bin" | grep -v '_test$' || true
log "built for Windows (build/$WIN_BUILD/bin): the demo walks $WIN_WHAT"
ls -l "$ROOT/build/$WIN_BUILD/bin" | grep -v '_test.exe$' || true
for exe in "$ROOT"/build/$WIN_BUILD/bin/*.exe; do
  case "$exe" in *_test.exe) continue ;; esac
  file "$exe" 2>/dev/null | sed "s|$ROOT/||" || true
done

# The demo package: examples/demo's product (hello.exe from the Windows
# build, readme and help) built by mkstp as the one file dist/setup.exe (the
# wizard with the package inside) from the project file
# examples/demo/product.ini, which holds its texts, picture, id and version.
make_demo_package() {
  local demo="$ROOT/examples/demo" product="$ROOT/build/demo-product" dist="$ROOT/dist"
  local wizard="$ROOT/build/$WIN_BUILD/bin/setup.exe"
  rm -rf "$product" "$dist/setup.exe" "$dist/setup.stp"
  mkdir -p "$product"
  cp -p "$demo/readme.txt" "$demo/help.txt" "$product/"
  [ -f "$ROOT/build/$WIN_BUILD/bin/hello.exe" ] && cp -p "$ROOT/build/$WIN_BUILD/bin/hello.exe" "$product/"
  "$ROOT/build/native/bin/mkstp" --project "$demo/product.ini" -o "$dist" --setup "$wizard" "$product"
  # The package inside the program, listed by zfx, which finds it behind
  # the program as behind any self-extractor.
  LC_ALL=ru_RU.UTF-8 "$ROOT/build/native/bin/zfx" l "$dist/setup.exe"
}
log "demo package (dist/)"
make_demo_package

# The wizard itself, walked page by page as a person would.
run_wizard() {
  local prefix="$ROOT/build/wine-demo" shots="$ROOT/dist/screenshots"
  local loc=ru_RU.UTF-8
  log "the wizard ($WIN_WHAT, $loc), pages saved to dist/screenshots/"
  fresh_wine_prefix "$prefix" "$loc"
  walk_display_start use_current
  local ok=0
  WINEPREFIX=$prefix walk_wizard "$ROOT/dist/setup.exe" "$shots" 'C:\Demo\Hello' "$loc" && ok=1
  walk_display_stop
  WINEPREFIX=$prefix wineserver -k 2>/dev/null || true
  ls -l "$shots"
  find "$prefix/drive_c/Demo" -type f -printf '  installed: %P\n' 2>/dev/null || true
  find "$prefix/drive_c/users" -path '*Programs/setup/*' -name '*.lnk' -printf '  shortcut: %f\n' 2>/dev/null || true
  [ $ok = 1 ] || { echo "the walk through the wizard failed" >&2; return 1; }
  echo "last page: \"Установка программы завершена\" (dist/screenshots/page3.png)"
}

# The uninstaller, as Add/Remove Programs starts it: its question, Yes, its
# report; then the product is gone from the list and from the disk.
run_uninstall() {
  local prefix="$ROOT/build/wine-demo" shots="$ROOT/dist/screenshots" loc=ru_RU.UTF-8
  local key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\HelloDemo'
  # The locale goes to Wine alone (see scripts/wizard_walk.sh); its console
  # speaks the locale's OEM code page.
  local -x WINEPREFIX=$prefix WALK_LOCALE=$loc
  oem() { tr -d '\r' | iconv -f CP866 -t UTF-8; }
  log "Add/Remove Programs (wine uninstaller --list) and the entry"
  LC_ALL=$loc wine uninstaller --list 2>/dev/null | oem
  LC_ALL=$loc wine reg query "$key" 2>/dev/null | oem
  log "the uninstaller ($WIN_WHAT), C:\\Demo\\Hello\\uninstall.exe, answered Yes"
  walk_display_start use_current
  walk_start 'C:\Demo\Hello\uninstall.exe'
  local tmp name ok=1 i
  tmp=$(mktemp -d)
  for name in uninstall-question uninstall-done; do
    # A box shows: the desktop picture is no longer one colour.
    for i in $(seq 100); do
      walk_shot "$tmp/now.png" 2>/dev/null &&
        [ "$(LC_ALL=C convert "$tmp/now.png" -trim -format '%w' info:- 2>/dev/null)" -gt 50 ] && break
      sleep 0.2
    done
    sleep 0.5
    walk_shot "$tmp/now.png" && LC_ALL=C convert "$tmp/now.png" -trim +repage "$shots/$name.png"
    walk_key Return
    sleep 1
  done
  walk_end || ok=0
  walk_display_stop
  rm -rf "$tmp"
  for i in $(seq 50); do [ -e "$prefix/drive_c/Demo/Hello" ] || break; sleep 0.2; done
  if [ -e "$prefix/drive_c/Demo/Hello" ]; then
    echo "left after the uninstall:"; find "$prefix/drive_c/Demo/Hello"; ok=0
  else
    echo "C:\\Demo\\Hello is gone ($shots/uninstall-question.png, uninstall-done.png)"
  fi
  LC_ALL=$loc wine uninstaller --list 2>/dev/null | oem | grep -q '^HelloDemo|||' && { echo "still listed"; ok=0; }
  wineserver -k 2>/dev/null || true
  [ $ok = 1 ] || { echo "the uninstall failed" >&2; return 1; }
}

if [ -x "$ROOT/build/native/bin/crc_bench" ]; then
  log "CRC-32 and cipher speed on this machine"
  "$ROOT/build/native/bin/crc_bench"
fi

run_wizard
run_uninstall
