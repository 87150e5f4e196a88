#!/bin/bash
# Decoding time of the module's build of the archive core against the host
# build, on the -lh5-, -lh6- and -lh7- archives of tests/bench/run.sh, all
# measured in this run.  decode_time (tests/bench/decode_time.cpp) runs as
# the host build, as the Windows build with the module's options (-Oz, link-
# time optimisation) and as the Windows build with -O2, under Wine in a
# private prefix, and natively as the host build with the module's options
# for its code (decode_time_oz: what the options cost, apart from Wine and
# the 32-bit machine; the one figure of the module's options measurable
# where 32-bit programs run only under emulation); runs of the four
# alternate.  Prints MB/s and each other build's time as a ratio to the
# host build's (below 1.3: the module's build is within 1.3x).  Times are
# processor time per decode (decode_time's "cpu"), so that other programs on
# a busy machine do not skew the ratios; the best of RUNS runs of ROUNDS
# decodes each.
#   usage: tests/bench/module_ratio.sh [WORK_DIR]   (RUNS=3, ROUNDS=5 by default)
set -euo pipefail
cd "$(dirname "$0")/../.."
work=${1:-build/bench}
runs=${RUNS:-3}
rounds=${ROUNDS:-5}
shared=$(cd ../shared && pwd)

{ cmake --preset host && cmake --build --preset host -j2 --target decode_time decode_time_oz &&
  cmake --preset win32 && cmake --build --preset win32 -j2 --target decode_time decode_time_o2; } > /dev/null
host=$(pwd)/build/host/decode_time
host_oz=$(pwd)/build/host/decode_time_oz
module=$(pwd)/build/win32/decode_time.exe
speed=$(pwd)/build/win32/decode_time_o2.exe
mkdir -p "$work"
if [ ! -f "$work/bench_lh7_L2.lzh" ]; then
  echo "bench: making the benchmark archives (once)..." >&2
  "$shared/tools/lzhgen/mkcorpus.sh" --bench "$work" > /dev/null 2>&1
fi

export WINEPREFIX=${WINEPREFIX:-/tmp/lzhsfx-bench-wine-$UID}
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
[ -f "$WINEPREFIX/system.reg" ] || DISPLAY= wineboot -i > /dev/null 2>&1

# Processor seconds per decode reported by one decode_time run (a second
# try when Wine lost its server on a busy machine).
seconds() {
  local t
  t=$("$@" "$rounds" | sed -n 's/.*, cpu \([0-9.]*\) s.*/\1/p') || true
  [ -n "$t" ] || t=$("$@" "$rounds" | sed -n 's/.*, cpu \([0-9.]*\) s.*/\1/p')
  echo "$t"
}

printf '%-7s %10s %10s %10s %10s   %9s %9s %9s\n' method host module -O2 "host -Oz" module/host -O2/host -Oz/host
for m in lh5 lh6 lh7; do
  a="$work/bench_${m}_L2.lzh"
  bytes=$(stat -c %s "$work/bench-input.bin")
  h= z= o= n=
  for _ in $(seq "$runs"); do
    t=$(seconds "$host" "$a"); h=$(echo "$t ${h:-}" | awk '{print ($2 == "" || $1 < $2) ? $1 : $2}')
    t=$(seconds wine "$module" "$a"); z=$(echo "$t ${z:-}" | awk '{print ($2 == "" || $1 < $2) ? $1 : $2}')
    t=$(seconds wine "$speed" "$a"); o=$(echo "$t ${o:-}" | awk '{print ($2 == "" || $1 < $2) ? $1 : $2}')
    t=$(seconds "$host_oz" "$a"); n=$(echo "$t ${n:-}" | awk '{print ($2 == "" || $1 < $2) ? $1 : $2}')
  done
  echo "$m $bytes $h $z $o $n" | awk '{
    mb = $2 / 1e6
    printf "%-7s %5.1f MB/s %5.1f MB/s %5.1f MB/s %5.1f MB/s   %9.2f %9.2f %9.2f\n",
      "-" $1 "-", mb / $3, mb / $4, mb / $5, mb / $6, $4 / $3, $5 / $3, $6 / $3 }'
done
