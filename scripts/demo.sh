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

if [ -x "$ROOT/build/native/bin/crc_bench" ]; then
  log "CRC-32 and cipher speed on this machine"
  "$ROOT/build/native/bin/crc_bench"
fi
