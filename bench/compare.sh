#!/usr/bin/env bash
# Times zfx against the common extractors (Info-ZIP unzip, 7-Zip, bsdtar,
# Python's zipfile) on the same generated archives, in one run: the tools
# take turns on each case in every repetition (round-robin, the starting
# tool rotating), so that a slow spell of the machine hits all of them
# alike. Prints the median of each and zfx's ratio to every peer, to the
# fastest peer and to the inflate floor (bench/floor_inflate.cpp, with the
# engine's inflate; the floor with zlib's stands beside it), then the
# memory zfx needs: peak RSS while extracting, per entry of an archive of a
# million entries, and beside the peers' while listing 200,000 entries.
# The case "decode" times the engine's inflate beside zlib's on their own
# (bench/inflate_bench.cpp), natively and, with -w, the Windows build's
# under Wine.
#
# usage: bench/compare.sh [-n RUNS] [-k CASES] [-c CACHE_DIR] [-o OUTPUT_DIR] [-b BUILD_DIR]
#                         [-w WINDOWS_BUILD_DIR]
#   -n  repetitions per tool and case (default 5)
#   -k  the cases to run, e.g. "small listing" (default all: deflated
#       encrypted stored small listing bzip2 lzma zstd aes ppmd decode)
#   -c  where the archives are made once and kept (default ~/.cache/zf-bench)
#   -o  where the tools extract to (default a fresh folder in /dev/shm, as
#       disk timings swing by several times); emptied after every run
#   -b  build folder holding (or to hold) zfx and the bench helpers
#       (default build/native, built as Release when missing)
#   -w  a Windows build folder (e.g. build/win64) whose inflate_bench.exe
#       the decode case also runs under Wine, in a prefix of its own there
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
RUNS=5
CACHE=${XDG_CACHE_HOME:-$HOME/.cache}/zf-bench
OUT=""
BUILD=$ROOT/build/native
ONLY=""
WINDOWS_BUILD=""
while getopts "n:k:c:o:b:w:h" opt; do
  case $opt in
    n) RUNS=$OPTARG ;;
    k) ONLY=$OPTARG ;;
    c) CACHE=$OPTARG ;;
    o) OUT=$OPTARG ;;
    b) BUILD=$OPTARG ;;
    w) WINDOWS_BUILD=$(realpath "$OPTARG") ;;
    *) sed -n '2,/^set -euo/p' "$0" | sed '$d; s/^# \{0,1\}//'; exit 2 ;;
  esac
done
ALL_CASES="deflated encrypted stored small listing bzip2 lzma zstd aes ppmd decode"
CASES=($ALL_CASES)
if [[ -n $ONLY ]]; then
  read -ra CASES <<<"$ONLY"
  for case in "${CASES[@]}"; do
    [[ " $ALL_CASES " == *" $case "* ]] ||
      { echo "compare.sh: no case $case" >&2; exit 2; }
  done
fi
selected() { [[ " ${CASES[*]} " == *" $1 "* ]]; }
# The cases the tools take turns on (all but decode).
TIMED=()
for case in "${CASES[@]}"; do [[ $case == decode ]] || TIMED+=("$case"); done
OWN_OUT=""
[[ -n $OUT ]] || OUT=$(mktemp -d /dev/shm/zf-bench.XXXXXX) OWN_OUT=$OUT
mkdir -p "$OUT" "$CACHE"
RESULTS=$(mktemp -d)
trap 'rm -rf "$OUT"/run "$RESULTS" $OWN_OUT' EXIT

PASSWORD=bench-password
BIG_SIZE=$((512 << 20))
METHOD_SIZE=$((64 << 20))  # the entry of each method's case: the text's first 64 MiB
SMALL_FILES=20000
SMALL_FOLDERS=200
LIST_ENTRIES=200000
HUGE_ENTRIES=1000000

# ---- tools ------------------------------------------------------------------

if [[ ! -x $BUILD/bin/zfx || ! -x $BUILD/bin/floor_inflate || ! -x $BUILD/bin/dir_item_size ]]; then
  [[ -f $BUILD/CMakeCache.txt ]] ||
    cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
cmake --build "$BUILD" --target zfx floor_inflate dir_item_size inflate_bench >/dev/null
if [[ -n $WINDOWS_BUILD ]] && selected decode; then
  cmake --build "$WINDOWS_BUILD" --target inflate_bench >/dev/null
  WINE=$(command -v wine64 || echo /usr/lib/wine/wine64)
fi
ZFX=$BUILD/bin/zfx
FLOOR=$BUILD/bin/floor_inflate
SEVENZIP=$(command -v 7z || command -v 7zz || true)
for tool in unzip bsdtar python3 zip; do
  command -v $tool >/dev/null || { echo "compare.sh: $tool is missing" >&2; exit 1; }
done
[[ -n $SEVENZIP ]] || { echo "compare.sh: 7-Zip (7z or 7zz) is missing" >&2; exit 1; }

# ---- archives (made once, kept in the cache) --------------------------------

make_archives() {
  local src=$CACHE/src
  mkdir -p "$src"
  if [[ ! -f $src/big.txt ]]; then
    echo "making $BIG_SIZE bytes of text..." >&2
    python3 "$ROOT/bench/gen_text.py" "$src/big.txt.part" "$BIG_SIZE" && mv "$src/big.txt.part" "$src/big.txt"
  fi
  if [[ ! -d $src/small ]]; then
    echo "making $SMALL_FILES small files..." >&2
    rm -rf "$src/small.part"
    python3 "$ROOT/bench/gen_tree.py" "$src/big.txt" "$src/small.part" $SMALL_FILES $SMALL_FOLDERS
    mv "$src/small.part" "$src/small"
  fi
  local name opts
  for name in deflated encrypted stored; do
    [[ -f $CACHE/big-$name.zip ]] && continue
    selected $name || { [[ $name == stored ]] && selected listing; } || continue
    echo "zipping big-$name.zip..." >&2
    case $name in
      deflated) opts=(-6) ;;
      encrypted) opts=(-6 -P "$PASSWORD") ;;
      stored) opts=(-0) ;;
    esac
    (cd "$src" && rm -f "$CACHE/part.zip" && zip -q "${opts[@]}" "$CACHE/part.zip" big.txt)
    mv "$CACHE/part.zip" "$CACHE/big-$name.zip"
  done
  if [[ ! -f $CACHE/small.zip ]] && selected small; then
    echo "zipping small.zip..." >&2
    (cd "$src" && rm -f "$CACHE/part.zip" && zip -q -r "$CACHE/part.zip" small)
    mv "$CACHE/part.zip" "$CACHE/small.zip"
  fi
  # One 64 MiB text-like entry per method: bzip2, LZMA, PPMd (7-Zip's
  # default order and memory) and AES-256 over deflate by 7-Zip; Zstandard, which no installed tool puts in a ZIP,
  # as the zstd tool's frame wrapped by bench/wrap_zstd.py.
  if [[ ! -f $src/method.txt ]]; then
    head -c "$METHOD_SIZE" "$src/big.txt" >"$src/method.txt"
  fi
  for name in bzip2 lzma zstd aes ppmd; do
    [[ -f $CACHE/method-$name.zip ]] && continue
    selected $name || continue
    echo "zipping method-$name.zip..." >&2
    rm -f "$CACHE/part.zip"
    case $name in
      bzip2) (cd "$src" && "$SEVENZIP" a -tzip -mm=BZip2 "$CACHE/part.zip" method.txt >/dev/null) ;;
      lzma) (cd "$src" && "$SEVENZIP" a -tzip -mm=LZMA "$CACHE/part.zip" method.txt >/dev/null) ;;
      ppmd) (cd "$src" && "$SEVENZIP" a -tzip -mm=PPMd "$CACHE/part.zip" method.txt >/dev/null) ;;
      aes) (cd "$src" && "$SEVENZIP" a -tzip -mm=Deflate -mem=AES256 -p"$PASSWORD" "$CACHE/part.zip" method.txt >/dev/null) ;;
      zstd) python3 "$ROOT/bench/wrap_zstd.py" "$src/method.txt" "$CACHE/part.zip" ;;
    esac
    mv "$CACHE/part.zip" "$CACHE/method-$name.zip"
  done
  local count
  selected listing || return 0
  for count in $LIST_ENTRIES $HUGE_ENTRIES; do
    [[ -f $CACHE/entries-$count.zip ]] && continue
    echo "writing entries-$count.zip..." >&2
    python3 "$ROOT/bench/gen_many_entries.py" "$CACHE/part.zip" "$count"
    mv "$CACHE/part.zip" "$CACHE/entries-$count.zip"
  done
}
make_archives

# ---- the cases ----------------------------------------------------------------
# A case is an archive and a password; every tool extracts it into an empty
# folder (or lists it). PASS is the case's password, empty for none.

PY_EXTRACT='import sys, zipfile
with zipfile.ZipFile(sys.argv[1]) as z:
    z.extractall(sys.argv[2], pwd=sys.argv[3].encode() or None)'

run_zfx() { "$ZFX" x -q ${PASS:+-P "$PASS"} -d "$2" "$1"; }
run_unzip() { unzip -qq -o ${PASS:+-P "$PASS"} "$1" -d "$2"; }
run_7zip() { "$SEVENZIP" x -y ${PASS:+-p"$PASS"} -o"$2" "$1" >/dev/null; }
run_bsdtar() { bsdtar -xf "$1" -C "$2" ${PASS:+--passphrase "$PASS"}; }
run_python() { python3 -c "$PY_EXTRACT" "$1" "$2" "$PASS"; }
run_floor() { "$FLOOR" "$1" "$2/big.txt" own; }
run_floorzlib() { "$FLOOR" "$1" "$2/big.txt" zlib; }
list_zfx() { "$ZFX" l "$1"; }
list_unzip() { unzip -l "$1"; }
list_7zip() { "$SEVENZIP" l "$1"; }
list_bsdtar() { bsdtar -tf "$1"; }

declare -A TITLE=([deflated]="big file, deflated" [encrypted]="big file, encrypted"
                  [stored]="big file, stored" [small]="$SMALL_FILES small files"
                  [listing]="listing $LIST_ENTRIES entries" [bzip2]="64 MiB file, bzip2"
                  [lzma]="64 MiB file, LZMA" [zstd]="64 MiB file, Zstandard"
                  [aes]="64 MiB file, AES-256" [ppmd]="64 MiB file, PPMd")
declare -A ARCHIVE=([deflated]=$CACHE/big-deflated.zip [encrypted]=$CACHE/big-encrypted.zip
                    [stored]=$CACHE/big-stored.zip [small]=$CACHE/small.zip
                    [listing]=$CACHE/entries-$LIST_ENTRIES.zip [bzip2]=$CACHE/method-bzip2.zip
                    [lzma]=$CACHE/method-lzma.zip [zstd]=$CACHE/method-zstd.zip
                    [aes]=$CACHE/method-aes.zip [ppmd]=$CACHE/method-ppmd.zip)
declare -A CASE_PASS=([encrypted]=$PASSWORD [aes]=$PASSWORD)
# Tools per case; the floors apply to the deflated file only. Python's
# zipfile decrypts in pure Python (minutes for the big file) and has no
# listing of its own to compare: it sits out those two cases.
declare -A TOOLS=([deflated]="zfx unzip 7zip bsdtar python floor floorzlib"
                  [encrypted]="zfx unzip 7zip bsdtar"
                  [stored]="zfx unzip 7zip bsdtar python"
                  [small]="zfx unzip 7zip bsdtar python"
                  [listing]="zfx unzip 7zip bsdtar"
                  [bzip2]="zfx unzip 7zip bsdtar python" [lzma]="zfx 7zip bsdtar python"
                  [zstd]="zfx 7zip bsdtar" [aes]="zfx 7zip bsdtar" [ppmd]="zfx 7zip bsdtar")
PEERS="unzip 7zip bsdtar python"
declare -A TOOL_NAME=([zfx]=zfx [unzip]=unzip [7zip]=7-Zip [bsdtar]=bsdtar [python]=zipfile
                      [floor]=floor [floorzlib]=floor/zlib)
# Targets for zfx's median: to the fastest peer, and to the floor.
# The methods' target is bsdtar's time (the same libraries; for PPMd, a
# decoder of its own as ours is); the table's "fastest peer" may be 7-Zip,
# whose decoders are its own.
declare -A TARGET=([deflated]=0.6 [encrypted]=0.45 [stored]=0.7 [small]=0.5 [listing]=0.8
                   [bzip2]=1 [lzma]=1 [zstd]=1 [aes]=1 [ppmd]=1)
FLOOR_TARGET=1.15
# The engine's inflate alone, to zlib's (decode case).
DECODE_TARGET=1.6
# Peak resident set per entry of the million-entry listing, in bytes.
PER_ENTRY_TARGET=160

# Runs one tool on one case once; records seconds, or "fail".
time_one() {  # case tool
  local case=$1 tool=$2 dest=$OUT/run start end
  rm -rf "$dest" && mkdir -p "$dest"
  PASS=${CASE_PASS[$case]:-}
  local -a cmd=(run_$tool "${ARCHIVE[$case]}" "$dest")
  [[ $case == listing ]] && cmd=(list_$tool "${ARCHIVE[$case]}")
  start=$EPOCHREALTIME
  if "${cmd[@]}" >/dev/null 2>"$RESULTS/stderr"; then
    end=$EPOCHREALTIME
    echo "$start $end" | awk '{ printf "%.4f\n", $2 - $1 }' >>"$RESULTS/$case.$tool"
  else
    echo fail >>"$RESULTS/$case.$tool"
    echo "  $tool failed on $case: $(head -c 300 "$RESULTS/stderr")" >&2
  fi
  [[ $case == listing ]] || verify "$case" "$tool" "$dest"
  rm -rf "$dest"
}

# zfx's and the floor's output is compared with the source once per case.
verify() {  # case tool dest
  [[ $2 == zfx || $2 == floor* ]] || return 0
  [[ -e $RESULTS/verified.$1.$2 ]] && return 0
  touch "$RESULTS/verified.$1.$2"
  local ok=1
  if [[ $1 == small ]]; then
    diff -rq "$CACHE/src/small" "$3/small" >/dev/null || ok=0
  elif [[ -n ${TITLE[$1]} && ${ARCHIVE[$1]} == */method-* ]]; then
    cmp -s "$CACHE/src/method.txt" "$3/method.txt" || ok=0
  else
    cmp -s "$CACHE/src/big.txt" "$3/big.txt" || ok=0
  fi
  ((ok)) || echo "  $2 output of $1 differs from the source" >&2
}

median() {  # file
  [[ -f $1 ]] || { echo "-"; return; }
  { grep -v fail "$1" || true; } | sort -n | awk '{ v[NR] = $1 }
    END { if (NR == 0) print "fail"; else if (NR % 2) printf "%.3f\n", v[(NR + 1) / 2];
          else printf "%.3f\n", (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (a + 0 > 0 && b + 0 > 0) printf "%.2f", a / b; else printf "-" }'; }

# ---- the runs -----------------------------------------------------------------

echo "zfx: $ZFX"
echo "output folder: $OUT ($(df --output=fstype "$OUT" | tail -1)), $RUNS runs, load average $(cut -d" " -f1-3 /proc/loadavg)"
for ((rep = 1; rep <= RUNS; ++rep)); do
  echo "run $rep of $RUNS..." >&2
  for case in "${TIMED[@]}"; do
    read -ra tools <<<"${TOOLS[$case]}"
    n=${#tools[@]}
    for ((k = 0; k < n; ++k)); do
      time_one "$case" "${tools[$(((k + rep) % n))]}"
    done
  done
done

# ---- the tables -----------------------------------------------------------------

echo
echo "Medians, seconds"
printf "%-26s" "case"
for tool in zfx $PEERS floor floorzlib; do printf "%11s" "${TOOL_NAME[$tool]}"; done
echo
for case in "${TIMED[@]}"; do
  printf "%-26s" "${TITLE[$case]}"
  for tool in zfx $PEERS floor floorzlib; do printf "%11s" "$(median "$RESULTS/$case.$tool")"; done
  echo
done

echo
echo "zfx's median divided by each (below 1: zfx is faster)"
printf "%-26s" "case"
for tool in $PEERS; do printf "%9s" "${TOOL_NAME[$tool]}"; done
printf "%18s%8s  %-24s%s\n" "fastest peer" "floor" "target" "met"
for case in "${TIMED[@]}"; do
  zfx=$(median "$RESULTS/$case.zfx")
  printf "%-26s" "${TITLE[$case]}"
  best="" best_tool=""
  for tool in $PEERS; do
    m=$(median "$RESULTS/$case.$tool")
    printf "%9s" "$(ratio "$zfx" "$m")"
    if [[ $m =~ ^[0-9.]+$ ]] && { [[ -z $best ]] || awk -v a="$m" -v b="$best" 'BEGIN { exit !(a < b) }'; }; then
      best=$m best_tool=$tool
    fi
  done
  to_best=$(ratio "$zfx" "$best")
  floor=$(median "$RESULTS/$case.floor")
  to_floor=$(ratio "$zfx" "$floor")
  target="<= ${TARGET[$case]}"
  met=$(awk -v r="$to_best" -v t="${TARGET[$case]}" 'BEGIN { print (r != "-" && r <= t) ? "yes" : "NO" }')
  if [[ $to_floor != - ]]; then
    target+=", floor <= $FLOOR_TARGET"
    [[ $(awk -v r="$to_floor" -v t=$FLOOR_TARGET 'BEGIN { print (r <= t) ? "yes" : "NO" }') == yes ]] || met=NO
  fi
  printf "%18s%8s  %-24s%s\n" "$to_best (${best_tool:+${TOOL_NAME[$best_tool]}})" "$to_floor" "$target" "$met"
done

# ---- memory -------------------------------------------------------------------------

peak_kib() { /usr/bin/time -f %M -o "$RESULTS/time" "$@" >/dev/null 2>&1 || true; tail -1 "$RESULTS/time"; }

echo
echo "zfx memory (peak resident set, KiB)"
for case in "${TIMED[@]}"; do
  [[ $case == listing ]] && continue
  rm -rf "$OUT/run" && mkdir -p "$OUT/run"
  PASS=${CASE_PASS[$case]:-}
  printf "  %-32s %8s\n" "extract ${TITLE[$case]}" "$(peak_kib "$ZFX" x -q ${PASS:+-P "$PASS"} -d "$OUT/run" "${ARCHIVE[$case]}")"
done
rm -rf "$OUT/run"
if selected listing; then
  base=$(peak_kib "$ZFX" l "$CACHE/big-stored.zip")
  start=$EPOCHREALTIME
  huge=$(peak_kib "$ZFX" l "$CACHE/entries-$HUGE_ENTRIES.zip")
  seconds=$(echo "$start $EPOCHREALTIME" | awk '{ printf "%.2f", $2 - $1 }')
  printf "  %-32s %8s\n" "list a 1-entry archive" "$base"
  printf "  %-32s %8s  (%s s)\n" "list $HUGE_ENTRIES entries" "$huge" "$seconds"
  awk -v h="$huge" -v b="$base" -v n=$HUGE_ENTRIES -v item="$("$BUILD/bin/dir_item_size")" -v t=$PER_ENTRY_TARGET 'BEGIN {
    per = h * 1024 / n
    printf "  per entry: %.0f bytes of peak RSS (%.0f above the 1-entry listing); TDirItem itself: %d bytes; target <= %d: %s\n",
           per, (h - b) * 1024 / n, item, t, per <= t ? "yes" : "NO" }'

  # The listing's memory beside the peers': zfx keeps the whole directory (the
  # component's surface walks it in any order), unzip streams it.
  echo
  echo "listing $LIST_ENTRIES entries, peak resident set (KiB)"
  list=${ARCHIVE[listing]}
  declare -A LIST_PEAK=([zfx]=$(peak_kib "$ZFX" l "$list") [unzip]=$(peak_kib unzip -l "$list")
                        [7zip]=$(peak_kib "$SEVENZIP" l "$list") [bsdtar]=$(peak_kib bsdtar -tf "$list"))
  for tool in zfx unzip 7zip bsdtar; do printf "  %-8s %8s\n" "${TOOL_NAME[$tool]}" "${LIST_PEAK[$tool]}"; done
  awk -v z="${LIST_PEAK[zfx]}" -v b="${LIST_PEAK[bsdtar]}" 'BEGIN {
    printf "  zfx / bsdtar: %.2f; target <= 1: %s\n", z / b, z <= b ? "yes" : "NO" }'
fi
# ---- decoding alone -----------------------------------------------------------------

decode_bench() {  # title command...
  local title=$1 out
  shift
  echo
  echo "$title"
  out=$("$@" 2>"$RESULTS/stderr") || { echo "  failed: $(head -c 300 "$RESULTS/stderr")"; return; }
  echo "$out" | sed 's/^/  /'
  echo "$out" | awk -v t=$DECODE_TARGET '$1 == "ours" {
    printf "  ours / zlib: %s; target >= %s: %s\n", $4, t, ($4 >= t) ? "yes" : "NO" }'
}
if selected decode; then
  decode_bench "inflate alone, native (inflate_bench, the text's first 64 MiB)" \
    "$BUILD/bin/inflate_bench" "$CACHE/src/big.txt" 64 "$RUNS"
  if [[ -n $WINDOWS_BUILD ]]; then
    decode_bench "inflate alone, $(basename "$WINDOWS_BUILD") under Wine" \
      env WINEPREFIX="$WINDOWS_BUILD/wine-bench" WINEDEBUG=-all \
      WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe=d" \
      "$WINE" "$WINDOWS_BUILD/bin/inflate_bench.exe" "$CACHE/src/big.txt" 64 "$RUNS"
  fi
fi

echo
echo "load average at the end: $(cut -d" " -f1-3 /proc/loadavg) ($(nproc) cores)"
