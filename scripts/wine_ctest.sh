#!/usr/bin/env bash
# Runs a Windows build's tests under Wine in a fresh prefix, as
# scripts/test.sh does for each locale:
#   scripts/wine_ctest.sh win32|win64 LOCALE [CTEST_ARGS...]
# e.g. scripts/wine_ctest.sh win64 ru_RU.UTF-8 -R zfx_test
# The prefix is build/wine-BUILD-manual; USER picks the Wine user.
set -euo pipefail
. "$(dirname "$0")/common.sh"
[ $# -ge 2 ] || { sed -n '2,7p' "$0" >&2; exit 2; }
build=$1 loc=$2
shift 2
wine_ctest "$build" "$loc" manual "$@"
