#!/usr/bin/env bash
# The engine as another project uses it: this build installed into a prefix
# of its own, every installed header compiled alone (a public header that
# includes one left private fails here), examples/consumer configured and
# built against the package with find_package, and run on archives made by
# Info-ZIP zip: its listing, the events it prints and the extracted tree.
#
# usage: package_consumer_test.sh BUILD_DIR WORK_DIR CXX TOOLCHAIN_FILE|- [RUN_PREFIX...]
# The Windows build gives its toolchain file and "wine" as the run prefix.
set -uo pipefail
# shellcheck source=check_lib.sh source-path=SCRIPTDIR
. "$(dirname "${BASH_SOURCE[0]}")/check_lib.sh"

source_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${1:?usage: package_consumer_test.sh BUILD_DIR WORK_DIR CXX TOOLCHAIN_FILE|- [RUN_PREFIX...]}
work=${2:?}
cxx=${3:?}
toolchain=${4:?}
shift 4
run_prefix=("$@")

rm -rf "$work"
mkdir -p "$work"
cd "$work" || exit 2

cmake --install "$build" --prefix prefix >install.log || { cat install.log >&2; exit 1; }

# Each installed header on its own: it must bring what it needs, and only
# what is installed. Natively only; the headers are the same for Windows.
if [ "$toolchain" = - ]; then
  for h in prefix/include/ziparchiver/*.h; do
    echo "#include <ziparchiver/${h##*/}>" |
      "$cxx" -std=c++20 -fsyntax-only -Iprefix/include -x c++ - 2>header.err ||
      { fail "${h##*/} does not compile alone"; sed 's/^/    /' header.err >&2; }
  done
fi

# A cross build searches packages only below its root, so the package is
# named by its folder there; natively the prefix is enough.
config=(-DCMAKE_PREFIX_PATH="$work/prefix")
[ "$toolchain" != - ] &&
  config=(-DCMAKE_TOOLCHAIN_FILE="$toolchain" -DZipArchiver_DIR="$work/prefix/lib/cmake/ZipArchiver")
if ! cmake -S "$source_dir/examples/consumer" -B consumer -G Ninja "${config[@]}" >configure.log 2>&1 ||
  ! cmake --build consumer >build.log 2>&1; then
  cat configure.log build.log >&2
  echo "FAIL: the consumer does not build against the installed package" >&2
  exit 1
fi
program=consumer/consumer
[ -f consumer/consumer.exe ] && program=consumer/consumer.exe

# A folder, a deflated file and a small one zip stores.
mkdir -p src/docs
seq 1 20000 >src/docs/numbers.txt
printf 'hi\n' >src/a.txt
(cd src && zip -q -r ../sample.zip a.txt docs)

# Relative paths: the same command line works under Wine (drive Z:).
run_captured "${run_prefix[@]}" "$program" sample.zip out
expect_rc 0 "consumer sample.zip"
expected_out=$(printf '%10d  %s\n' 3 a.txt 0 docs 108894 'docs\numbers.txt'
  printf 'extracted %s\n' a.txt 'docs\' 'docs\numbers.txt'
  printf 'done: 100%%')
[ "$(cat out.txt)" = "$expected_out" ] ||
  { fail "consumer sample.zip: listing and events differ"; diff <(echo "$expected_out") out.txt >&2; }
diff -r src out >diff.txt || { fail "consumer sample.zip: extracted tree differs"; cat diff.txt >&2; }

# Not an archive: the engine's error with its native code, nothing extracted.
head -c 4096 /dev/zero | tr '\0' 'x' >junk.zip
run_captured "${run_prefix[@]}" "$program" junk.zip junk-out
expect_rc 1 "consumer junk.zip"
expect_in err.txt "Invalid archive file. - Native error: 00035 (native code 35)" "consumer junk.zip"
[ ! -e junk-out ] || fail "consumer junk.zip: made a destination folder"

[ "$failures" = 0 ] || exit 1
echo "package consumer: all checks passed"
