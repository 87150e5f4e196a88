#!/bin/bash
# Whole package runs under Wine, start to exit, against NSIS installers of
# the same payload, all measured in this run.  The payload (~61 MB: Wine's
# own i386 binaries and the mingw-w64 headers of this machine) is copied at
# run time.  Packages: ours (-lh7-, made by `lzhtool a`, or by lzhgen where
# lzhtool has no encoder, packed by mksfx) with
# and without --crc, NSIS zlib and NSIS lzma (makensis defaults: not solid,
# the installer's own CRC check on), a one-file package of each kind, and
# the floor: our package of the same files stored (-lh0-), whose run is the
# writing of the files alone.
# Every run extracts silently into the same folder of one Wine prefix and
# is checked against the payload; rounds are interleaved (each round starts
# one package later, so that none always follows the same one), and the
# table gives the median of ROUNDS rounds, its ratio to NSIS zlib (below
# 1: ours finishes first) and to the stored package (the floor; above 1 by
# what decoding adds).  The folder is in /dev/shm: on ext4, making
# hundreds of files right after deleting them spends a varying 0.1-0.7 s in
# the kernel's inode allocation (recently_deleted), the same for every
# installer, which buried the differences.  Then the module's CRC-32 check alone in MB/s
# (build/win32/crc32_bench.exe).  Times are wall-clock on a shared machine:
# read them as noisy.
#   usage: tests/bench/package.sh [WORK_DIR]
#   ROUNDS       rounds (default 5)
#   BENCH_PREFIX the Wine prefix (default /tmp/bench-wine)
#   BASE_MODULE  another build of sfx.exe (say, of main): its packages
#                (with and without --crc) run in the same rounds, as "base"
#   OUT_DIR      where the runs extract (default /dev/shm/lzhsfx-bench-out,
#                or WORK_DIR/out without /dev/shm)
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$(pwd)
work=$(realpath -m "${1:-build/bench-package}")
rounds=${ROUNDS:-5}
prefix=$(realpath -m "${BENCH_PREFIX:-/tmp/bench-wine}")
lzhgen=${LZHGEN:-$(realpath -m ../shared/tools/lzhgen/lzhgen)}

for tool in makensis wine wineserver Xvfb "$lzhgen"; do
  command -v "$tool" > /dev/null || { echo "package.sh: $tool is missing (scripts/setup.sh)" >&2; exit 2; }
done

cmake --preset host > /dev/null && cmake --build --preset host -j2 --target mksfx lzhtool > /dev/null
cmake --preset win32 > /dev/null && cmake --build --preset win32 -j2 --target sfx crc32_bench > /dev/null
mksfx=$root/build/host/mksfx
module=$root/build/win32/sfx.exe
mkdir -p "$work"

# A Unix path as Wine's Z: drive sees it.
windows_path() { local p; p=$(realpath -m "$1"); printf 'Z:%s' "${p//\//\\}"; }

# shellcheck source=tests/bench/payload.sh
. "$root/tests/bench/payload.sh"
payload=$work/payload
if ! make_payload "$work"; then
  echo "package.sh: copied the payload; making the packages..." >&2
  rm -f "$work"/*.lzh "$work"/*.exe "$work"/*.nsi
fi
payload_bytes=$(du -sb --apparent-size "$payload" | cut -f1)
payload_files=$(find "$payload" -type f | wc -l)
one_file=bin/cabinet.dll
[ -f "$payload/$one_file" ] || { echo "package.sh: the payload has no $one_file" >&2; exit 2; }

# The archives (lzhgen, once) and the packages (every run: the module may
# have changed).
lzhtool=$root/build/host/lzhtool
usage=$("$lzhtool" 2>&1 || true)
if [[ $usage == *"lzhtool a "* ]]; then maker=lzhtool; else maker=lzhgen; fi
make_archive() {  # OUT.lzh METHOD ENTRY...
  [ -f "$1" ] && return 0
  if [ $maker = lzhtool ]; then
    "$lzhtool" a --method "$2" --level 2 -C "$payload" "$1.tmp" "${@:3}" > /dev/null
  else
    "$lzhgen" "$1.tmp" -q --level 2 --method "-$2-" -C "$payload" "${@:3}"
  fi
  mv "$1.tmp" "$1"
}
make_archive "$work/payload-$maker.lzh" lh7 bin include
make_archive "$work/stored-$maker.lzh" lh0 bin include
make_archive "$work/one-$maker.lzh" lh7 "$one_file"
out_default=$work/out
[ -d /dev/shm ] && [ -w /dev/shm ] && out_default=/dev/shm/lzhsfx-bench-out
out=$(realpath -m "${OUT_DIR:-$out_default}")
ours_options=(--module "$module" --no-confirm --skip-dialog --no-open-folder --dest "$(windows_path "$out")")
"$mksfx" -o "$work/ours.exe" "${ours_options[@]}" "$work/payload-$maker.lzh" > /dev/null
"$mksfx" -o "$work/ours-crc.exe" "${ours_options[@]}" --crc "$work/payload-$maker.lzh" > /dev/null
"$mksfx" -o "$work/ours-one.exe" "${ours_options[@]}" "$work/one-$maker.lzh" > /dev/null
"$mksfx" -o "$work/stored.exe" "${ours_options[@]}" "$work/stored-$maker.lzh" > /dev/null
names=(ours ours-crc stored nsis-zlib nsis-lzma ours-one nsis-one)
labels=("ours -lh7-" "ours -lh7- --crc" "stored -lh0- (floor)" "NSIS zlib" "NSIS lzma" "one file: ours"
  "one file: NSIS zlib")
if [ -n "${BASE_MODULE:-}" ]; then
  base_options=("${ours_options[@]}")
  base_options[1]=$(realpath "$BASE_MODULE")
  "$mksfx" -o "$work/base.exe" "${base_options[@]}" "$work/payload-$maker.lzh" > /dev/null
  "$mksfx" -o "$work/base-crc.exe" "${base_options[@]}" --crc "$work/payload-$maker.lzh" > /dev/null
  "$mksfx" -o "$work/base-one.exe" "${base_options[@]}" "$work/one-$maker.lzh" > /dev/null
  names+=(base base-crc base-one)
  labels+=("base -lh7-" "base -lh7- --crc" "one file: base")
fi

# NSIS installers of the same files: extract into /D, nothing else.
make_nsis() {  # OUT COMPRESSOR SOURCE...
  local exe=$1 compressor=$2 script=$work/$(basename "$1" .exe).nsi
  shift 2
  {
    echo 'Unicode true'
    echo 'Name "Bench"'
    echo "OutFile \"$exe\""
    echo 'RequestExecutionLevel user'
    echo 'InstallDir "$TEMP\bench"'
    echo "SetCompressor /FINAL $compressor"
    echo 'Section'
    echo '  SetOutPath "$INSTDIR"'
    for source in "$@"; do echo "  File /r \"$source\""; done
    echo 'SectionEnd'
  } > "$script"
  [ -f "$exe" ] && [ "$exe" -nt "$script" ] && return 0
  makensis -V1 "$script" > /dev/null
}
make_nsis "$work/nsis-zlib.exe" zlib "$payload/*"
make_nsis "$work/nsis-lzma.exe" lzma "$payload/*"
mkdir -p "$work/one-nsis/bin"
cp "$payload/$one_file" "$work/one-nsis/bin/"
make_nsis "$work/nsis-one.exe" zlib "$work/one-nsis/*"

# One Wine session for all runs: a private prefix (made once, with Wine
# drawing window frames itself, as the end-to-end bench does), a virtual
# display and a persistent server, so no run pays for the session's start.
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -f "$prefix/.bench-ready" ]; then
  echo "package.sh: making the Wine prefix $prefix (once, about 20 s)..." >&2
  mkdir -p "$prefix"
  DISPLAY= wineboot -i > /dev/null 2>&1
  iconv -f UTF-8 -t UTF-16 "$root/tests/e2e/prefix.reg" > "$prefix/bench.reg"
  DISPLAY= wine regedit /S "$(windows_path "$prefix/bench.reg")" > /dev/null 2>&1
  wineserver -w
  touch "$prefix/.bench-ready"
fi
xvfb_pid=
cleanup() {
  wineserver -k 2> /dev/null || true
  rm -rf "$out"
  [ -z "$xvfb_pid" ] || { kill "$xvfb_pid" 2> /dev/null; wait "$xvfb_pid" 2> /dev/null; } || true
}
trap cleanup EXIT
for ((n = 90; n < 130; n++)); do
  [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] || break
done
Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp > /dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
export DISPLAY=:$n
# A server left on the prefix (a manual run's) would make -p fail.
wineserver -k 2> /dev/null || true
wineserver -p

# One run: PACKAGE ARGS... into $out, emptied before; seconds on stdout.
# The extracted files must be the payload's (the one-file package's: that file).
run_package() {
  local exe=$1 t0 t1
  shift
  rm -rf "$out"
  t0=$EPOCHREALTIME
  wine "$exe" "$@" > /dev/null 2>&1 || true
  t1=$EPOCHREALTIME
  case $(basename "$exe") in
    *one*) cmp -s "$payload/$one_file" "$out/$one_file" ;;
    *) diff -rq "$payload" "$out" > /dev/null ;;
  esac || { echo "package.sh: $(basename "$exe") did not extract the payload" >&2; exit 1; }
  echo "$t0 $t1" | awk '{printf "%.3f\n", $2 - $1}'
}

nsis_args=(/S "/D=$(windows_path "$out")")
declare -A times
round=0
run_round() {
  local i name args count=${#names[@]}
  for ((i = 0; i < count; i++)); do
    name=${names[(i + round) % count]}
    args=()
    [[ $name == nsis* ]] && args=("${nsis_args[@]}")
    times[$name]+=" $(run_package "$work/$name.exe" "${args[@]}")"
  done
  round=$((round + 1))
}
echo "package.sh: payload $payload_files files, $payload_bytes bytes, archives by $maker;" \
  "$rounds rounds after one warm-up" >&2
run_round
times=()
for _ in $(seq "$rounds"); do run_round; done

median() { tr ' ' '\n' | grep . | sort -n | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }
printf '%-22s %12s %8s   %-24s %10s %8s\n' package bytes median rounds "/NSIS zlib" "/stored"
zlib=$(echo "${times[nsis-zlib]}" | median)
floor=$(echo "${times[stored]}" | median)
one_zlib=$(echo "${times[nsis-one]}" | median)
for i in "${!names[@]}"; do
  name=${names[i]}
  m=$(echo "${times[$name]}" | median)
  peer=$zlib
  [[ $name == *one* ]] && peer=$one_zlib
  to_floor=-
  [[ $name == *one* ]] || to_floor=$(echo "$m $floor" | awk '{printf "%.2f", $1 / $2}')
  printf '%-22s %12d %7.3fs   %-24s %10.2f %8s\n' "${labels[i]}" "$(stat -c %s "$work/$name.exe")" "$m" \
    "${times[$name]# }" "$(echo "$m $peer" | awk '{print $1 / $2}')" "$to_floor"
done
for kind in ours base; do
  [ -n "${times[$kind]:-}" ] || continue
  plain=$(echo "${times[$kind]}" | median)
  checked=$(echo "${times[$kind-crc]}" | median)
  echo "$kind $plain $checked $(stat -c %s "$work/$kind-crc.exe")" | awk '{
    printf "%s: --crc adds %.3f s (%+.1f%%)", $1, $3 - $2, 100 * ($3 - $2) / $2
    if ($3 > $2) printf ", the check at about %.0f MB/s within a run", $4 / 1e6 / ($3 - $2)
    printf "\n" }'
done

# The check alone, in the module library's -Oz code, over the --crc package.
wine "$root/build/win32/crc32_bench.exe" "$(windows_path "$work/ours-crc.exe")" 5 | tr -d '\r'
