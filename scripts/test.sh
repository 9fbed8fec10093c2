#!/usr/bin/env bash
# Installs what is missing, builds every configuration and runs every test:
#   native Linux, native with AddressSanitizer + UndefinedBehaviorSanitizer,
#   the libFuzzer targets (each a short run from a fixed seed),
#   and 32-bit Windows under Wine in three locales (ANSI 1252/OEM 437,
#   1251/866 and the Turkish locale), each in a fresh Wine prefix.
# Exits non-zero when anything fails.
set -euo pipefail
. "$(dirname "$0")/common.sh"

install_dependencies
build_native
build_asan
build_fuzz
build_win32

failed=()
run_ctest() {  # run_ctest LABEL BUILD_DIR [env...]
  local label=$1 dir=$2; shift 2
  log "tests: $label"
  if ! env "$@" ctest --test-dir "$dir" --output-on-failure --timeout 900; then
    failed+=("$label")
  fi
}

run_ctest "native (en_US)" "$ROOT/build/native" LC_ALL=en_US.UTF-8 ZF_TEST_LOCALE=en
run_ctest "native asan+ubsan (ru_RU)" "$ROOT/build/asan" LC_ALL=ru_RU.UTF-8 ZF_TEST_LOCALE=ru \
  ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1
run_ctest "fuzz targets (libFuzzer)" "$ROOT/build/fuzz" LC_ALL=en_US.UTF-8 \
  UBSAN_OPTIONS=print_stacktrace=1

for loc in "${ZF_LOCALES[@]}"; do
  short=${loc%%_*}
  prefix="$ROOT/build/wine-$short"
  log "fresh Wine prefix for $loc"
  fresh_wine_prefix "$prefix" "$loc"
  # One persistent server for the whole run: a test program that starts
  # while an idle server is shutting down fails with "recvmsg" otherwise.
  # A first program starts the prefix's services with no pipe of ctest's
  # open, or ctest would wait for them to close its output.
  LC_ALL=$loc WINEPREFIX=$prefix wineserver -p
  LC_ALL=$loc WINEPREFIX=$prefix wine cmd /c exit 0 </dev/null >/dev/null 2>&1 || true
  run_ctest "win32 under Wine ($loc)" "$ROOT/build/win32" \
    LC_ALL="$loc" WINEPREFIX="$prefix" ZF_TEST_LOCALE="$short"
  WINEPREFIX=$prefix wineserver -k 2>/dev/null || true
done

if [ ${#failed[@]} -gt 0 ]; then
  log "FAILED: ${failed[*]}"
  exit 1
fi
log "all test runs passed"
