#!/bin/bash
# The package run timed natively on a machine whose kernel runs 32-bit
# programs only under emulation (where package.sh measures the emulator):
# the module's code built for x86-64 with the module's compiler options
# (less the 32-bit stack ones) and a plain link, under 64-bit Wine,
# extracting the package benchmark's payload from an archive named on its
# command line (/S /T:DIR ARCHIVE): stored (-lh0-, the floor: the run is
# the making and writing of the files) and -lh7-, by turns, each round
# starting one run later.  Prints each run's median of ROUNDS and its ratio
# to the stored run's, which the extraction's goal puts at 1.25 or below.
# Every run is checked against the payload.
#   usage: tests/bench/package_x64.sh [WORK_DIR]   (default build/bench-package)
#   ROUNDS    rounds (default 9)
#   BASE_SRC  another checkout's src/ (say, of main): its build runs in the
#             same rounds as "base"
#   OUT_DIR   where the runs extract (default /dev/shm/lzhsfx-x64-out)
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$(pwd)
work=$(realpath -m "${1:-build/bench-package}")
rounds=${ROUNDS:-9}
out=$(realpath -m "${OUT_DIR:-/dev/shm/lzhsfx-x64-out}")
cxx=x86_64-w64-mingw32-g++-posix
wine64=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver
for tool in "$cxx" x86_64-w64-mingw32-windres "$wine64"; do
  command -v "$tool" > /dev/null || { echo "package_x64.sh: $tool is missing (scripts/setup.sh)" >&2; exit 2; }
done

cmake --preset host > /dev/null && cmake --build --preset host -j2 --target lzhtool > /dev/null
lzhtool=$root/build/host/lzhtool
mkdir -p "$work"
# shellcheck source=tests/bench/payload.sh
. "$root/tests/bench/payload.sh"
make_payload "$work" || rm -f "$work"/x64-*.lzh
for method in lh0 lh7; do
  [ -f "$work/x64-$method.lzh" ] ||
    "$lzhtool" a --quiet --method "$method" --level 2 -C "$work/payload" "$work/x64-$method.lzh" bin include > /dev/null
done

# build SRC_DIR OUT_EXE: the module's sources and resources, two at a time.
options=(-std=gnu++20 -Oz -fomit-frame-pointer -mno-stack-arg-probe -mno-accumulate-outgoing-args
  -fno-jump-tables -malign-data=abi -fno-inline-functions-called-once -fno-tree-loop-optimize
  -fno-tree-slsr -fno-ipa-sra -fno-exceptions -fno-rtti -fno-threadsafe-statics
  -fno-asynchronous-unwind-tables -ffunction-sections -fdata-sections -D__USE_MINGW_ANSI_STDIO=0)
build() {
  local src=$1 exe=$2 objects=$2.objects source
  rm -rf "$objects" && mkdir -p "$objects"
  for source in "$src"/{archive,decode,package,app,paths,ui,launch,extract}/*.cpp "$src"/pe/{headers,image_end}.cpp \
    "$root/tests/bench/x64_imports.cpp"; do
    echo "$source"
  done | xargs -P 2 -I{} sh -c 'o="$1/$(echo "$2" | tr / _).o" s=$2; shift 2; '"$cxx"' "$@" -c "$s" -o "$o"' \
    _ "$objects" {} "${options[@]}" -I"$src" -I"$src/res"
  for script in "$src"/res/*.rc; do echo "#include \"$script\""; done > "$objects/resources.rc"
  x86_64-w64-mingw32-windres -I"$src/res" -c 65001 "$objects/resources.rc" -O coff -o "$objects/resources.o"
  "$cxx" -o "$exe" "$objects"/*.o -mwindows -nostartfiles -nodefaultlibs -e WinMainCRTStartup -s \
    -Wl,--gc-sections -lkernel32 -luser32 -lcomctl32 -lshell32 -lole32 -ladvapi32 -lgcc
}
mkdir -p build/win64
build "$root/src" build/win64/sfx64.exe
names=(stored ours)
exes=(build/win64/sfx64.exe build/win64/sfx64.exe)
archives=(lh0 lh7)
if [ -n "${BASE_SRC:-}" ]; then
  build "$(realpath "$BASE_SRC")" build/win64/sfx64-base.exe
  names+=(base)
  exes+=(build/win64/sfx64-base.exe)
  archives+=(lh7)
fi

export WINEPREFIX=${BENCH_PREFIX64:-/tmp/bench-wine64} WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
[ -f "$WINEPREFIX/system.reg" ] || WINEARCH=win64 DISPLAY= "$wine64" wineboot -i > /dev/null 2>&1
cleanup() { "$wineserver" -k 2> /dev/null || true; rm -rf "$out"; }
trap cleanup EXIT
"$wineserver" -k 2> /dev/null || true
"$wineserver" -p
destination="/T:Z:${out//\//\\}"

# One run: EXE ARCHIVE_NAME into $out, emptied before; seconds on stdout.
run_one() {
  local t0 t1 archive
  archive=$(realpath "$work/x64-$2.lzh")
  rm -rf "$out"
  t0=$EPOCHREALTIME
  DISPLAY= "$wine64" "$1" /S "$destination" "Z:${archive//\//\\}" > /dev/null 2>&1 || true
  t1=$EPOCHREALTIME
  diff -rq "$work/payload" "$out" > /dev/null ||
    { echo "package_x64.sh: $1 did not extract $2's payload" >&2; exit 1; }
  echo "$t0 $t1" | awk '{printf "%.3f\n", $2 - $1}'
}

declare -A times
count=${#names[@]}
for ((round = 0; round <= rounds; round++)); do
  for ((i = 0; i < count; i++)); do
    k=$(((i + round) % count))
    t=$(run_one "${exes[k]}" "${archives[k]}")
    ((round == 0)) || times[${names[k]}]+=" $t"  # the first round warms up
  done
done

median() { tr ' ' '\n' | grep . | sort -n | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }
floor=$(echo "${times[stored]}" | median)
echo "package_x64.sh: payload $(find "$work/payload" -type f | wc -l) files, native 64-bit Wine, $rounds rounds" >&2
printf '%-20s %8s %8s   %s\n' run median /stored rounds
for i in "${!names[@]}"; do
  m=$(echo "${times[${names[i]}]}" | median)
  printf '%-20s %7.3fs %8.2f   %s\n' "${names[i]} -${archives[i]}-" "$m" "$(echo "$m $floor" | awk '{print $1 / $2}')" \
    "${times[${names[i]}]# }"
done
