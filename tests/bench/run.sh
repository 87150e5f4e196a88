#!/bin/bash
# Decoding throughput of lzhtool against lhasa, 7z and bsdtar on the same
# ~64 MiB input packed as -lh0-, -lh5-, -lh6- and -lh7- (level 2), all
# measured in this run.  Prints MB/s of output and lzhtool's speed as a
# ratio to each peer (above 1: lzhtool is faster).  Best of RUNS runs.
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
bytes=$(stat -c %s "$work/bench-input.bin")

# Seconds of the fastest of $runs runs of a command (output discarded).
best() {
  local bestTime=
  for _ in $(seq "$runs"); do
    local t0 t1
    t0=$(date +%s.%N)
    "$@" > /dev/null 2>&1 || { echo "bench: failed: $*" >&2; echo 0; return; }
    t1=$(date +%s.%N)
    bestTime=$(echo "$t0 $t1 ${bestTime:-}" | awk '{d = $2 - $1; if ($3 == "" || d < $3) print d; else print $3}')
  done
  echo "$bestTime"
}

printf '%-7s %10s %10s %10s %10s   %8s %8s %8s\n' method lzhtool lhasa 7z bsdtar vs-lhasa vs-7z vs-bsdtar
for m in lh0 lh5 lh6 lh7; do
  a="$work/bench_${m}_L2.lzh"
  ours=$(best "$tool" t "$a")
  lh=$(best lhasa t "$a")
  sz=$(best 7z t "$a")
  bt=$(best bsdtar -xOf "$a")
  echo "$m $bytes $ours $lh $sz $bt" | awk '{
    mb = $2 / 1e6
    printf "%-7s %8.1f MB/s %6.1f MB/s %6.1f MB/s %6.1f MB/s   %8.2f %8.2f %8.2f\n",
      "-" $1 "-", mb / $3, mb / $4, mb / $5, mb / $6, $4 / $3, $5 / $3, $6 / $3 }'
done
