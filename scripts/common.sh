# Shared by the project's scripts: installing what is missing, building the
# four configurations, preparing Wine. Sourced, not run.

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
JOBS=$(nproc 2>/dev/null || echo 2)

# Debian packages the build, the tests and the demo need (the host's own
# architecture).
ZF_PACKAGES=(
  cmake ninja-build g++ make pkg-config zlib1g-dev libgtest-dev
  libbz2-dev liblzma-dev libzstd-dev libssl-dev xz-utils zstd dpkg-dev
  clang libclang-rt-14-dev
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix libz-mingw-w64-dev
  wine wine64 libgnutls30 locales
  zip unzip 7zip libarchive-tools python3
  xvfb xdotool imagemagick
  fonts-wine fonts-dejavu-core
)
# What only the 32-bit Windows build's runs need: the 32-bit loader, and
# GnuTLS for its cryptography (a mere Recommends of libwine).
ZF_PACKAGES_I386=(wine32:i386 libgnutls30:i386)
ZF_LOCALES=("en_US.UTF-8" "ru_RU.UTF-8" "tr_TR.UTF-8")
# A user name outside ANSI 1252, for the Wine runs where the profile path
# must survive a code page that lacks it.
ZF_WINE_USER_OUTSIDE_ANSI=Иван

log() { printf '\n=== %s\n' "$*"; }

as_root() {
  if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi
}

# host_runs_i386: true when this kernel starts 32-bit x86 programs. Some
# kernels are built without IA-32 emulation ("i386 execve returns
# ENOEXEC"); there no 32-bit Wine can start. The probe is the smallest
# i386 ELF program, written here byte by byte: it only exits with 42.
# ZF_HOST_RUNS_I386=yes|no overrides the probe (to try the other path).
host_runs_i386() {
  case "${ZF_HOST_RUNS_I386:-}" in
    yes) return 0 ;;
    no) return 1 ;;
  esac
  [ "$(uname -m)" = x86_64 ] || [ "$(uname -m)" = i686 ] || return 1
  local probe rc=0
  probe=$(mktemp)
  # The ELF header: 32-bit, little-endian, an executable for i386 entered
  # at 0x08048054, with one program header right behind it.
  printf '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00' >"$probe"
  printf '\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00' >>"$probe"
  printf '\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00\x00\x00\x00\x00' >>"$probe"
  # The program header: load the file at 0x08048000, readable and
  # executable; then xor ebx,ebx; mov bl,42; xor eax,eax; inc eax; int 0x80.
  printf '\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08' >>"$probe"
  printf '\x5d\x00\x00\x00\x5d\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00' >>"$probe"
  printf '\x31\xdb\xb3\x2a\x31\xc0\x40\xcd\x80' >>"$probe"
  chmod +x "$probe"
  "$probe" 2>/dev/null || rc=$?
  rm -f "$probe"
  [ $rc = 42 ]
}

# apt_update: three tries with a pause. A mirror in the middle of a sync
# serves an index of the wrong size for a while; apt then ignores that one
# index and keeps the rest, which is not fatal by itself: what matters is
# whether the packages install afterwards.
apt_update() {
  local try
  for try in 1 2 3; do
    as_root apt-get update -q && return 0
    [ $try = 3 ] || { echo "apt-get update failed (try $try of 3); again in 15 s" >&2; sleep 15; }
  done
  echo "apt-get update still fails after three tries: going on with the indexes it has" >&2
}

# apt_install PACKAGE...: installs them; on failure says in one line which
# packages could not be had and why, and returns false.
apt_install() {
  local out rc=0
  out=$(as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "$@" 2>&1) || rc=$?
  printf '%s\n' "$out" | grep -v -E '^(Selecting|Preparing|Unpacking|Setting up|Processing triggers)' | tail -n 40
  [ $rc = 0 ] && return 0
  local why
  why=$(printf '%s\n' "$out" | grep -E '^E: ' | grep -v 'index files failed' | tail -n 1)
  echo "cannot install: $* (${why:-apt-get install exited $rc})" >&2
  return 1
}

# missing_packages PACKAGE...: those of them that are not installed.
missing_packages() {
  local p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || echo "$p"
  done
}

# install_dependencies: installs the packages that are not there yet (apt);
# a machine that has them all is left alone. Decides which Windows builds
# this host tests (ZF_WINDOWS_BUILDS: win32 and win64, or win64 alone) and
# says why in ZF_WINDOWS_NOTE:
#  - a host that runs 32-bit programs gets the 32-bit Wine too, and tests
#    both builds;
#  - a host that runs none never installs an i386 package, and tests the
#    64-bit build alone;
#  - a host whose i386 packages cannot be installed (a mirror in sync, a
#    missing :i386 package) takes the 64-bit path as well, and says so.
install_dependencies() {
  local want_i386=0
  if host_runs_i386; then want_i386=1; fi
  local missing missing_i386=()
  mapfile -t missing < <(missing_packages "${ZF_PACKAGES[@]}")
  if [ $want_i386 = 1 ]; then mapfile -t missing_i386 < <(missing_packages "${ZF_PACKAGES_I386[@]}"); fi
  if [ ${#missing[@]} -gt 0 ] || [ ${#missing_i386[@]} -gt 0 ]; then
    log "installing: ${missing[*]} ${missing_i386[*]}"
    if [ ${#missing_i386[@]} -gt 0 ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
      as_root dpkg --add-architecture i386
    fi
    apt_update
    if [ ${#missing[@]} -gt 0 ]; then apt_install "${missing[@]}" || return 1; fi
    if [ ${#missing_i386[@]} -gt 0 ] && ! apt_install "${missing_i386[@]}"; then
      want_i386=2
    fi
  fi
  local loc gen=0
  for loc in "${ZF_LOCALES[@]}"; do
    if ! locale -a 2>/dev/null | grep -qix "${loc/UTF-8/utf8}"; then
      grep -qx "$loc UTF-8" /etc/locale.gen 2>/dev/null || echo "$loc UTF-8" | as_root tee -a /etc/locale.gen >/dev/null
      gen=1
    fi
  done
  if [ $gen = 1 ]; then as_root locale-gen >/dev/null; fi
  case $want_i386 in
    1) ZF_WINDOWS_BUILDS=(win32 win64)
       ZF_WINDOWS_NOTE="this host runs 32-bit programs: Windows builds i686 (build/win32, 32-bit Wine) and x86_64 (build/win64, wine64)" ;;
    0) ZF_WINDOWS_BUILDS=(win64)
       ZF_WINDOWS_NOTE="this host runs no 32-bit programs${ZF_HOST_RUNS_I386:+ (ZF_HOST_RUNS_I386=$ZF_HOST_RUNS_I386)}: Windows build x86_64 only (build/win64, wine64)" ;;
    2) ZF_WINDOWS_BUILDS=(win64)
       ZF_WINDOWS_NOTE="the i386 packages (${ZF_PACKAGES_I386[*]}) could not be installed: Windows build x86_64 only (build/win64, wine64)" ;;
  esac
  export ZF_WINDOWS_NOTE
  log "$ZF_WINDOWS_NOTE"
}

# configure_and_build NAME [cmake args...]: build/NAME from the one CMakeLists.
configure_and_build() {
  local name=$1; shift
  log "building $name"
  cmake -S "$ROOT" -B "$ROOT/build/$name" -G Ninja "$@" >/dev/null
  cmake --build "$ROOT/build/$name" -j "$JOBS"
}

build_native() { configure_and_build native -DCMAKE_BUILD_TYPE=Release; }
build_asan() { configure_and_build asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZF_SANITIZE=ON; }
# The libFuzzer targets only (tests/fuzz), built with clang.
build_fuzz() {
  log "building fuzz"
  CC=clang CXX=clang++ cmake -S "$ROOT" -B "$ROOT/build/fuzz" -G Ninja \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZF_FUZZ=ON >/dev/null
  cmake --build "$ROOT/build/fuzz" -j "$JOBS" --target fuzz_targets
}
build_win32() {
  configure_and_build win32 -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-i686.cmake"
}
build_win64() {
  configure_and_build win64 -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-x86_64.cmake"
}

# use_wine64: from here on, "wine", "wineserver" and the tools that call
# them (wineboot) start the 64-bit loader and server directly. Debian's
# wrappers take wine32 whenever it is installed, and a host without IA-32
# emulation cannot start it; the 64-bit build runs under wine64 alone on
# every host. The wrappers live in build/wine64-bin, first on PATH.
use_wine64() {
  local bin="$ROOT/build/wine64-bin"
  mkdir -p "$bin"
  local name
  for name in wine wine-stable wine64; do
    printf '#!/bin/sh\nexec /usr/lib/wine/wine64 "$@"\n' >"$bin/$name"
  done
  for name in wineserver wineserver-stable; do
    printf '#!/bin/sh\nexec /usr/lib/wine/wineserver64 "$@"\n' >"$bin/$name"
  done
  chmod +x "$bin"/*
  case ":$PATH:" in *":$bin:"*) ;; *) export PATH="$bin:$PATH" ;; esac
  export WINELOADER=/usr/lib/wine/wine64 WINESERVER=/usr/lib/wine/wineserver64
}

# wine_ctest BUILD LOCALE NAME [CTEST_ARGS...]: the tests of the Windows
# build build/BUILD under Wine, in a fresh prefix build/wine-BUILD-NAME
# made for LOCALE, for the user USER (the account's when unset). The
# x86_64 build runs under wine64 (use_wine64). False when a test fails.
wine_ctest() {
  local build=$1 loc=$2 short=${2%%_*} name=$3
  shift 3
  local prefix="$ROOT/build/wine-$build-$name"
  local -x USER=${USER:-$(id -un)}
  [ "$build" = win64 ] && use_wine64
  log "tests: $build under Wine ($loc, user $USER${*:+, $*})"
  fresh_wine_prefix "$prefix" "$loc"
  # One persistent server for the whole run: a test program that starts
  # while an idle server is shutting down fails with "recvmsg" otherwise.
  # A first program starts the prefix's services with no pipe of ctest's
  # open, or ctest would wait for them to close its output.
  LC_ALL=$loc WINEPREFIX=$prefix wineserver -p
  LC_ALL=$loc WINEPREFIX=$prefix wine cmd /c exit 0 </dev/null >/dev/null 2>&1 || true
  local rc=0
  LC_ALL=$loc WINEPREFIX=$prefix ZF_TEST_LOCALE=$short \
    ctest --test-dir "$ROOT/build/$build" --output-on-failure --timeout 900 "$@" || rc=$?
  WINEPREFIX=$prefix wineserver -k 2>/dev/null || true
  return $rc
}

# Environment for Wine: quiet, no Mono/Gecko installers, no menu entries.
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe=d"

# fresh_wine_prefix DIR LOCALE: a new Wine prefix initialised in that locale.
# Its user profile is C:\users\$USER (the account's name when USER is
# unset); every later Wine run in the prefix needs the same USER.
fresh_wine_prefix() {
  local dir=$1 loc=$2
  rm -rf "$dir"
  mkdir -p "$dir"
  LC_ALL=$loc WINEPREFIX=$dir wineboot -i >/dev/null 2>&1 || true
  WINEPREFIX=$dir wineserver -w || true
  link_wine_fonts "$dir"
}

# link_wine_fonts DIR: Debian's Wine does not look for its own fonts
# (fonts-wine: MS Sans Serif, Tahoma, Marlett for the caption buttons) where
# the package puts them; linked into the prefix's Fonts folder, windows get
# the faces they ask for.
link_wine_fonts() {
  local fonts=/usr/share/wine/fonts target="$1/drive_c/windows/Fonts"
  [ -d "$fonts" ] && [ -d "$target" ] || return 0
  local f
  for f in "$fonts"/*; do
    [ -e "$target/${f##*/}" ] || ln -s "$f" "$target/${f##*/}"
  done
}

# wine_reg FILE KEY NAME: a string value from one of a Wine prefix's registry
# files (user.reg, system.reg), which write characters outside ASCII as
# \xHHHH.
wine_reg() {
  python3 - "$@" <<'PY'
import re, sys
path, key, name = sys.argv[1:4]
def text(s):
    return re.sub(r'\\x([0-9a-fA-F]{1,4})|\\(.)', lambda g: chr(int(g[1], 16)) if g[1] else g[2], s)
here = False
for line in open(path, encoding='ascii', errors='replace'):
    line = line.rstrip('\n')
    if line.startswith('['):
        here = text(line[1:line.index(']')]).lower() == key.lower()
    elif here:
        m = re.match(r'"(.*?)"=(?:str\(2\):)?"(.*)"$', line)
        if m and text(m[1]).lower() == name.lower():
            print(text(m[2]))
            break
PY
}
