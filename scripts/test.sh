#!/usr/bin/env bash
# Installs what is missing, builds every configuration and runs every test:
#   native Linux, native with AddressSanitizer + UndefinedBehaviorSanitizer,
#   the libFuzzer targets (each a short run from a fixed seed), and the
#   Windows builds under Wine, each run in a fresh Wine prefix:
#   - on a host that runs 32-bit programs, the i686 build in three locales
#     (ANSI 1252/OEM 437, 1251/866 and the Turkish locale) and the x86_64
#     build in the English one;
#   - on a host that runs none (or whose i386 packages cannot be had), the
#     x86_64 build under wine64 in all three locales.
#   In the English locale the programs run for a user whose name its ANSI
#   code page lacks. ZF_HOST_RUNS_I386=yes|no forces either case.
# Exits non-zero when anything fails; the summary names every suite that
# ran, failed or was skipped.
set -euo pipefail
. "$(dirname "$0")/common.sh"

started=$SECONDS
install_dependencies
build_native
build_asan
build_fuzz
for build in "${ZF_WINDOWS_BUILDS[@]}"; do "build_$build"; done

failed=()
passed=()
skipped=()
run_ctest() {  # run_ctest LABEL BUILD_DIR [env...] [-- ctest args...]
  local label=$1 dir=$2; shift 2
  local vars=()
  while [ $# -gt 0 ] && [ "$1" != -- ]; do vars+=("$1"); shift; done
  [ $# -gt 0 ] && shift
  log "tests: $label"
  if env "${vars[@]}" ctest --test-dir "$dir" --output-on-failure --timeout 900 "$@"; then
    passed+=("$label")
  else
    failed+=("$label")
  fi
}

run_ctest "native (en_US)" "$ROOT/build/native" LC_ALL=en_US.UTF-8 ZF_TEST_LOCALE=en
run_ctest "native asan+ubsan (ru_RU)" "$ROOT/build/asan" LC_ALL=ru_RU.UTF-8 ZF_TEST_LOCALE=ru \
  ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1
run_ctest "fuzz targets (libFuzzer)" "$ROOT/build/fuzz" LC_ALL=en_US.UTF-8 \
  UBSAN_OPTIONS=print_stacktrace=1

# run_wine_tests BUILD LOCALE USER NAME CTEST_ARGS...: the Windows build
# build/BUILD's tests in a fresh Wine prefix for LOCALE and the user USER
# (scripts/common.sh, wine_ctest), recorded as passed or failed.
run_wine_tests() {
  local build=$1 loc=$2 user=$3 name=$4
  shift 4
  local label="$build under Wine ($loc, user $user${*:+, $*})"
  if USER=$user wine_ctest "$build" "$loc" "$name" "$@"; then
    passed+=("$label")
  else
    failed+=("$label")
  fi
}

# run_windows_suite BUILD LOCALE...: the build's tests in each locale. In
# the English one the programs (setup.exe, zfx.exe, mkstp.exe, with their
# UTF-8 manifest) run for a user whose name ANSI 1252 lacks: the profile,
# its temporary folder and its Start menu lie in C:\users\Иван. The test
# programs, without the manifest, are in that code page as older Windows
# is, where such a profile cannot be named; they run for the account's
# user.
run_windows_suite() {
  local build=$1 loc short account
  shift
  account=$(id -un)
  for loc in "$@"; do
    short=${loc%%_*}
    if [ "$short" = en ]; then
      run_wine_tests "$build" "$loc" "$ZF_WINE_USER_OUTSIDE_ANSI" "$short-user" -LE unit
      run_wine_tests "$build" "$loc" "$account" "$short" -L unit
    else
      run_wine_tests "$build" "$loc" "$account" "$short"
    fi
  done
}

if [ "${ZF_WINDOWS_BUILDS[*]}" = "win32 win64" ]; then
  run_windows_suite win32 "${ZF_LOCALES[@]}"
  use_wine64
  run_windows_suite win64 "${ZF_LOCALES[0]}"
  skipped+=("win64 in ${ZF_LOCALES[*]:1} (the i686 build runs there)")
else
  use_wine64
  run_windows_suite win64 "${ZF_LOCALES[@]}"
  skipped+=("win32 in every locale (no 32-bit Wine on this host)")
fi

log "summary after $(( (SECONDS - started) / 60 )) min $(( (SECONDS - started) % 60 )) s: $ZF_WINDOWS_NOTE"
printf '  passed:  %s\n' "${passed[@]}"
[ ${#skipped[@]} -eq 0 ] || printf '  skipped: %s\n' "${skipped[@]}"
[ ${#failed[@]} -eq 0 ] || printf '  FAILED:  %s\n' "${failed[@]}"
if [ ${#failed[@]} -gt 0 ]; then
  exit 1
fi
log "all test runs passed"
