#!/bin/bash
# Decoding throughput of lzhtool against lhasa, 7z and bsdtar on the same
# ~64 MiB input packed as -lh0-, -lh5-, -lh6- and -lh7- (level 2), and
# against libdeflate's gunzip on that input packed by gzip -9, all measured
# in this run.  Prints MB/s of output and lzhtool's speed as a ratio to each
# peer (above 1: lzhtool is faster).  Best of RUNS runs, by wall-clock time
# and by processor time (user + sys).
#   usage: tests/bench/run.sh [WORK_DIR]     (RUNS=3 by default)
set -euo pipefail
cd "$(dirname "$0")/../.."
work=${1:-build/bench}
runs=${RUNS:-3}
shared=$(cd ../shared && pwd)

cmake --preset host > /dev/null && cmake --build --preset host -j2 > /dev/null
tool=$(pwd)/build/host/lzhtool
mkdir -p "$work"
if [ ! -f "$work/bench_lh7_L2.lzh" ]; then
  echo "bench: making the benchmark archives (once)..." >&2
  "$shared/tools/lzhgen/mkcorpus.sh" --bench "$work" > /dev/null 2>&1
fi
if [ ! -f "$work/bench-input.bin.gz" ]; then
  gzip -9 -c "$work/bench-input.bin" > "$work/bench-input.bin.gz"
fi
bytes=$(stat -c %s "$work/bench-input.bin")

# "WALL CPU": the fastest wall-clock and processor (user + sys) seconds of
# $runs runs of a command (output discarded), each minimum on its own.
best() {
  local bestWall= bestCpu= t
  local TIMEFORMAT='%R %U %S'
  for _ in $(seq "$runs"); do
    t=$( { time "$@" > /dev/null 2>&1; } 2>&1 ) || { echo "bench: failed: $*" >&2; echo "0 0"; return; }
    read -r bestWall bestCpu <<< "$(echo "$t ${bestWall:-} ${bestCpu:-}" | awk '{
      w = $1; c = $2 + $3
      if ($4 != "" && $4 < w) w = $4
      if ($5 != "" && $5 < c) c = $5
      print w, c }')"
  done
  echo "$bestWall $bestCpu"
}

printf '%-7s %10s %10s %10s %10s   %8s %8s %8s\n' method lzhtool lhasa 7z bsdtar vs-lhasa vs-7z vs-bsdtar
declare -A oursWall oursCpu
for m in lh0 lh5 lh6 lh7; do
  a="$work/bench_${m}_L2.lzh"
  read -r ours oursC <<< "$(best "$tool" t "$a")"
  oursWall[$m]=$ours; oursCpu[$m]=$oursC
  lh=$(best lhasa t "$a" | cut -d' ' -f1)
  sz=$(best 7z t "$a" | cut -d' ' -f1)
  bt=$(best bsdtar -xOf "$a" | cut -d' ' -f1)
  echo "$m $bytes $ours $lh $sz $bt" | awk '{
    mb = $2 / 1e6
    printf "%-7s %8.1f MB/s %6.1f MB/s %6.1f MB/s %6.1f MB/s   %8.2f %8.2f %8.2f\n",
      "-" $1 "-", mb / $3, mb / $4, mb / $5, mb / $6, $4 / $3, $5 / $3, $6 / $3 }'
done

# libdeflate's gunzip tests the gzip -9 file (it decodes all of it, writes
# nothing).  Its row is the same for every method; the ratios are lzhtool's.
read -r ld ldC <<< "$(best libdeflate-gunzip -t "$work/bench-input.bin.gz")"
echo
printf '%-7s %10s %10s %9s %9s %10s %10s %9s\n' method lzhtool libdeflate ratio '' lzhtool libdeflate ratio
printf '%-7s %10s %10s %9s %9s %10s %10s %9s\n' '' wall wall wall '' cpu cpu cpu
for m in lh5 lh6 lh7; do
  echo "$m $bytes ${oursWall[$m]} $ld ${oursCpu[$m]} $ldC" | awk '{
    mb = $2 / 1e6
    printf "%-7s %5.1f MB/s %5.1f MB/s %8.2fx %9s %5.1f MB/s %5.1f MB/s %8.2fx\n",
      "-" $1 "-", mb / $3, mb / $4, $4 / $3, "", mb / $5, mb / $6, $6 / $5 }'
done
