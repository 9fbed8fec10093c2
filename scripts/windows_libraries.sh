#!/usr/bin/env bash
# Builds the static Windows libraries of bzip2, liblzma and zstd's decoder
# from Debian's source packages (scripts/windows_libraries.txt names the
# versions), for one mingw-w64 target, into OUT/include and OUT/lib:
#   scripts/windows_libraries.sh TRIPLET OUT
# e.g. scripts/windows_libraries.sh i686-w64-mingw32 build/win32/winlibs
# The sources come through apt-get source with an APT configuration of its
# own, pointed at a temporary deb-src list: /etc/apt is left untouched.
# OUT/versions.txt says what was built, from which versions; a folder that
# has it is left as it is (one build per build folder).
set -euo pipefail
triplet=${1:?usage: windows_libraries.sh TRIPLET OUT}
out=${2:?usage: windows_libraries.sh TRIPLET OUT}
here=$(cd "$(dirname "$0")" && pwd)
list="$here/windows_libraries.txt"
[ -f "$out/versions.txt" ] && exit 0
mkdir -p "$out"
out=$(cd "$out" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
jobs=$(nproc 2>/dev/null || echo 2)

# ---- a private APT configuration with Debian's source lists -------------------
apt="$work/apt"
mkdir -p "$apt/lists/partial" "$apt/cache/archives/partial" "$apt/sources.list.d"
codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-bookworm}")
keyring=/usr/share/keyrings/debian-archive-keyring.gpg
{
  for suite in "$codename" "$codename-updates"; do
    echo "deb-src [signed-by=$keyring] http://deb.debian.org/debian $suite main"
  done
  echo "deb-src [signed-by=$keyring] http://deb.debian.org/debian-security $codename-security main"
} >"$apt/sources.list"
cat >"$apt/apt.conf" <<CONF
Dir::Etc::SourceList "$apt/sources.list";
Dir::Etc::SourceParts "$apt/sources.list.d";
Dir::State::Lists "$apt/lists";
Dir::Cache "$apt/cache";
APT::Sandbox::User "root";
CONF
export APT_CONFIG="$apt/apt.conf"
# A mirror in the middle of a sync may serve one index broken for a while:
# three tries, and what could be read is used (fetch below says when a
# package cannot be had at all).
for try in 1 2 3; do
  apt-get update -qq >/dev/null 2>"$work/update.err" && break
  [ $try = 3 ] && { echo "windows_libraries.sh: apt-get update failed three times; going on with the indexes it read:" >&2; grep '^E:' "$work/update.err" >&2 || true; break; }
  sleep 10
done

# fetch PACKAGE PINNED: unpacks the source package into $work/PACKAGE and
# sets $version to the version taken: the pinned one, else the newest that
# the mirror really serves (a suite's index may name files that are gone).
fetch() {
  local package=$1 pinned=$2 known candidate
  known=$(apt-cache showsrc "$package" 2>/dev/null | sed -n 's/^Version: //p' | sort -Vr -u)
  version=""
  for candidate in $pinned $known; do
    grep -qxF -- "$candidate" <<<"$known" || continue
    rm -rf "$work/dl-$package"
    mkdir -p "$work/dl-$package"
    if (cd "$work/dl-$package" && apt-get source -qq --download-only "$package=$candidate" >/dev/null 2>&1); then
      version=$candidate
      break
    fi
  done
  [ -n "$version" ] || { echo "windows_libraries.sh: no source of $package can be had" >&2; exit 1; }
  [ "$version" = "$pinned" ] ||
    echo "windows_libraries.sh: $package $pinned cannot be had from the mirror; taking $version" >&2
  dpkg-source -x --no-check "$work/dl-$package"/*.dsc "$work/$package" >/dev/null
}

pinned() { awk -v p="$1" '$1 == p { print $2 }' "$list"; }
cc="$triplet-gcc"
cflags=(-O2 -DNDEBUG)
mkdir -p "$out/include" "$out/lib"
versions=()

# ---- bzip2: seven C files ----------------------------------------------------------
fetch bzip2 "$(pinned bzip2)"
versions+=("bzip2 $version")
(
  cd "$work/bzip2"
  mkdir -p obj
  for f in blocksort huffman crctable randtable compress decompress bzlib; do
    "$cc" "${cflags[@]}" -c "$f.c" -o "obj/$f.o" &
  done
  wait
  "$triplet-ar" rcs "$out/lib/libbz2.a" obj/*.o
  cp bzlib.h "$out/include/"
)

# ---- zstd: the decoder only --------------------------------------------------------
fetch libzstd "$(pinned libzstd)"
versions+=("libzstd $version")
(
  cd "$work/libzstd/lib"
  mkdir -p obj
  for f in common/*.c decompress/*.c; do
    o="obj/$(basename "$f" .c).o"
    "$cc" "${cflags[@]}" -DZSTD_DISABLE_ASM -DZSTD_MULTITHREAD=0 -DZSTD_LEGACY_SUPPORT=0 \
      -c "$f" -o "$o" &
  done
  wait
  "$triplet-ar" rcs "$out/lib/libzstd.a" obj/*.o
  cp zstd.h zstd_errors.h "$out/include/"
)

# ---- liblzma: through its own CMake build -------------------------------------------
fetch xz-utils "$(pinned xz-utils)"
versions+=("xz-utils $version")
case $triplet in
  i686-*) toolchain="$here/../cmake/mingw-i686.cmake" ;;
  *) toolchain="$here/../cmake/mingw-x86_64.cmake" ;;
esac
cmake -S "$work/xz-utils" -B "$work/xz-build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DBUILD_SHARED_LIBS=OFF >/dev/null
cmake --build "$work/xz-build" -j "$jobs" --target liblzma >/dev/null
cp "$work/xz-build/liblzma.a" "$out/lib/"
cp -r "$work/xz-utils/src/liblzma/api/lzma.h" "$work/xz-utils/src/liblzma/api/lzma" "$out/include/"

printf '%s\n' "${versions[@]}" >"$out/versions.txt"
echo "windows_libraries.sh: built for $triplet: ${versions[*]}" >&2
