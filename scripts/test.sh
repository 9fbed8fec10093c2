#!/usr/bin/env bash
# Installs what is missing, builds every configuration and runs every test:
#   native Linux, native with AddressSanitizer + UndefinedBehaviorSanitizer,
#   the libFuzzer targets (each a short run from a fixed seed),
#   and 32-bit Windows under Wine in three locales (ANSI 1252/OEM 437,
#   1251/866 and the Turkish locale), each in a fresh Wine prefix; in the
#   English locale the programs run for a user whose name its ANSI code
#   page lacks.
# Exits non-zero when anything fails.
set -euo pipefail
. "$(dirname "$0")/common.sh"

install_dependencies
build_native
build_asan
build_fuzz
build_win32

failed=()
run_ctest() {  # run_ctest LABEL BUILD_DIR [env...] [-- ctest args...]
  local label=$1 dir=$2; shift 2
  local vars=()
  while [ $# -gt 0 ] && [ "$1" != -- ]; do vars+=("$1"); shift; done
  [ $# -gt 0 ] && shift
  log "tests: $label"
  if ! env "${vars[@]}" ctest --test-dir "$dir" --output-on-failure --timeout 900 "$@"; then
    failed+=("$label")
  fi
}

run_ctest "native (en_US)" "$ROOT/build/native" LC_ALL=en_US.UTF-8 ZF_TEST_LOCALE=en
run_ctest "native asan+ubsan (ru_RU)" "$ROOT/build/asan" LC_ALL=ru_RU.UTF-8 ZF_TEST_LOCALE=ru \
  ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1
run_ctest "fuzz targets (libFuzzer)" "$ROOT/build/fuzz" LC_ALL=en_US.UTF-8 \
  UBSAN_OPTIONS=print_stacktrace=1

# run_wine_tests LOCALE USER NAME CTEST_ARGS...: the Windows build's tests
# in a fresh Wine prefix build/wine-NAME for LOCALE and the user USER.
run_wine_tests() {
  local loc=$1 short=${1%%_*} name=$3
  export USER=$2
  shift 3
  local prefix="$ROOT/build/wine-$name"
  log "fresh Wine prefix for $loc, user $USER"
  fresh_wine_prefix "$prefix" "$loc"
  # One persistent server for the whole run: a test program that starts
  # while an idle server is shutting down fails with "recvmsg" otherwise.
  # A first program starts the prefix's services with no pipe of ctest's
  # open, or ctest would wait for them to close its output.
  LC_ALL=$loc WINEPREFIX=$prefix wineserver -p
  LC_ALL=$loc WINEPREFIX=$prefix wine cmd /c exit 0 </dev/null >/dev/null 2>&1 || true
  run_ctest "win32 under Wine ($loc, user $USER${*:+, $*})" "$ROOT/build/win32" \
    LC_ALL="$loc" WINEPREFIX="$prefix" ZF_TEST_LOCALE="$short" USER="$USER" -- "$@"
  WINEPREFIX=$prefix wineserver -k 2>/dev/null || true
}

account=$(id -un)
for loc in "${ZF_LOCALES[@]}"; do
  short=${loc%%_*}
  if [ "$short" = en ]; then
    # The programs (setup.exe, zfx.exe, mkstp.exe, with their UTF-8
    # manifest) for a user whose name ANSI 1252 lacks: the profile, its
    # temporary folder and its Start menu lie in C:\users\Иван. The test
    # programs, without the manifest, are in that code page as older
    # Windows is, where such a profile cannot be named; they run for the
    # account's user.
    run_wine_tests "$loc" "$ZF_WINE_USER_OUTSIDE_ANSI" "$short-user" -LE unit
    run_wine_tests "$loc" "$account" "$short" -L unit
  else
    run_wine_tests "$loc" "$account" "$short"
  fi
done

if [ ${#failed[@]} -gt 0 ]; then
  log "FAILED: ${failed[*]}"
  exit 1
fi
log "all test runs passed"
