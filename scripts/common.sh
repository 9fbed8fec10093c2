# Shared by the project's scripts: installing what is missing, building the
# four configurations, preparing Wine. Sourced, not run.

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
JOBS=$(nproc 2>/dev/null || echo 2)

# Debian packages the build, the tests and the demo need.
ZF_PACKAGES=(
  cmake ninja-build g++ make pkg-config zlib1g-dev libgtest-dev
  clang libclang-rt-14-dev
  g++-mingw-w64-i686-posix libz-mingw-w64-dev
  wine wine32:i386 locales
  zip unzip 7zip libarchive-tools python3
  xvfb xdotool imagemagick
  fonts-wine fonts-dejavu-core
)
ZF_LOCALES=("en_US.UTF-8" "ru_RU.UTF-8" "tr_TR.UTF-8")
# A user name outside ANSI 1252, for the Wine runs where the profile path
# must survive a code page that lacks it.
ZF_WINE_USER_OUTSIDE_ANSI=Иван

log() { printf '\n=== %s\n' "$*"; }

as_root() {
  if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi
}

# Installs the packages that are not there yet (apt); a machine that has them
# all is left alone.
install_dependencies() {
  local missing=()
  local p
  for p in "${ZF_PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  if [ ${#missing[@]} -gt 0 ]; then
    log "installing: ${missing[*]}"
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
      as_root dpkg --add-architecture i386
    fi
    as_root apt-get update -q
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
  fi
  local loc gen=0
  for loc in "${ZF_LOCALES[@]}"; do
    if ! locale -a 2>/dev/null | grep -qix "${loc/UTF-8/utf8}"; then
      grep -qx "$loc UTF-8" /etc/locale.gen 2>/dev/null || echo "$loc UTF-8" | as_root tee -a /etc/locale.gen >/dev/null
      gen=1
    fi
  done
  if [ $gen = 1 ]; then as_root locale-gen >/dev/null; fi
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
