#!/usr/bin/env bash
# The main job: installs what is missing, builds the Linux and Windows
# programs and shows what was built, with the CRC-32 benchmark as a first
# taste of the engine.
set -euo pipefail
. "$(dirname "$0")/common.sh"

install_dependencies
build_native
build_win32

log "built for Linux (build/native/bin)"
ls -l "$ROOT/build/native/bin" | grep -v '_test$' || true
log "built for 32-bit Windows (build/win32/bin)"
ls -l "$ROOT/build/win32/bin" | grep -v '_test.exe$' || true
for exe in "$ROOT"/build/win32/bin/*.exe; do
  case "$exe" in *_test.exe) continue ;; esac
  file "$exe" 2>/dev/null | sed "s|$ROOT/||" || true
done

# The demo package: examples/demo's product (hello.exe from the Windows
# build, readme and help) packed by mkstp into dist/setup.stp beside the
# wizard as dist/setup.exe, with the texts of examples/demo/product.ini.
make_demo_package() {
  local demo="$ROOT/examples/demo" product="$ROOT/build/demo-product" dist="$ROOT/dist"
  local wizard="$ROOT/build/win32/bin/setup.exe"
  rm -rf "$product"
  mkdir -p "$product"
  cp -p "$demo/readme.txt" "$demo/help.txt" "$product/"
  [ -f "$ROOT/build/win32/bin/hello.exe" ] && cp -p "$ROOT/build/win32/bin/hello.exe" "$product/"
  if [ ! -f "$wizard" ]; then
    # Until the wizard is built, a stand-in keeps the pair's shape.
    wizard="$ROOT/build/setup-placeholder.exe"
    echo "setup.exe is not built yet: this stands in for it" >"$wizard"
  fi
  ini() { sed -n "s/^$1=//p" "$demo/product.ini"; }
  "$ROOT/build/native/bin/mkstp" -o "$dist" --setup "$wizard" --picture "$demo/picture.bmp" \
    --name "$(ini name)" --publisher "$(ini publisher)" --web "$(ini web)" \
    --comment "$(ini comment)" "$product"
  LC_ALL=ru_RU.UTF-8 "$ROOT/build/native/bin/zfx" l "$dist/setup.stp"
}
log "demo package (dist/)"
make_demo_package

if [ -x "$ROOT/build/native/bin/crc_bench" ]; then
  log "CRC-32 and cipher speed on this machine"
  "$ROOT/build/native/bin/crc_bench"
fi
