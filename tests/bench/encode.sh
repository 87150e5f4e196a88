#!/bin/bash
# Compression of lzhtool a against jlha, measured in this run, on two inputs:
# the ~64 MiB mixed bench input of run.sh, and a ~60 MB payload of real
# Windows binaries (Wine's 32-bit DLLs) with some text, as a package would
# hold.  Our encoder packs each with -lh5-, -lh6- and -lh7- at the default
# and the best level; jlha with -lh5- and -lh7-.  Prints sizes, MB/s of
# input (wall clock), and the ratios against jlha: size (below 1: ours is
# smaller) and speed (above 1: ours is faster), by wall-clock and by CPU
# time (user + system; jlha's JVM also works on other threads, and on a
# loaded machine the wall clock favours it).  Times are the best of RUNS
# runs (3), the best level's of one.  Every archive of ours is checked with
# lzhtool t.  Goals on the bench input: the default level at most 0.97 of
# jlha's -lh7- size at 5 times its wall-clock speed or more, --best at
# most 0.93.  Then the payload and the bench input packed with --threads 1
# and --threads 2 (-lh7-, both levels, by turns, the best of RUNS each, of
# one at the best level):
# the wall-clock ratio (goal on 2 cores: 1.7 or more), and the two
# archives must be equal.
#   usage: tests/bench/encode.sh [WORK_DIR]
set -euo pipefail
cd "$(dirname "$0")/../.."
work=${1:-build/bench}
runs=${RUNS:-3}
shared=$(cd ../shared && pwd)

cmake --preset host > /dev/null && cmake --build --preset host -j2 > /dev/null
tool=$(pwd)/build/host/lzhtool
command -v jlha > /dev/null || { echo "bench: jlha is not installed" >&2; exit 1; }
mkdir -p "$work"
work=$(cd "$work" && pwd)
if [ ! -f "$work/bench-input.bin" ]; then
  echo "bench: making the benchmark input (once)..." >&2
  "$shared/tools/lzhgen/mkcorpus.sh" --bench "$work" > /dev/null 2>&1
fi

# The payload: Wine's DLLs in name order up to 56 MB, then license and
# copyright texts up to 4 MB more.
payload=$work/payload
if [ ! -d "$payload" ]; then
  echo "bench: copying the binaries payload (once)..." >&2
  mkdir -p "$payload/bin" "$payload/doc"
  dlls=/usr/lib/i386-linux-gnu/wine/i386-windows
  [ -d "$dlls" ] || dlls=/usr/lib/x86_64-linux-gnu/wine/x86_64-windows
  total=0
  while IFS= read -r f; do
    size=$(stat -c %s "$f")
    [ $((total + size)) -gt 56000000 ] && break
    cp "$f" "$payload/bin/"
    total=$((total + size))
  done < <(find "$dlls" -maxdepth 1 -type f -name '*.dll' | LC_ALL=C sort)
  total=0
  while IFS= read -r f; do
    size=$(stat -c %s "$f")
    [ $((total + size)) -gt 4000000 ] && break
    cp "$f" "$payload/doc/$(echo "${f#/usr/share/}" | tr / _)"
    total=$((total + size))
  done < <(find /usr/share/common-licenses /usr/share/doc -type f \( -name copyright -o -path '*common-licenses*' \) | LC_ALL=C sort)
fi

# Wall-clock and CPU seconds, each the least of $1 runs of a command that
# writes $2 (removed first).
timed() {
  local n=$1 out=$2 wall= cpu=
  shift 2
  for _ in $(seq "$n"); do
    rm -f "$out"
    /usr/bin/time -f '%e %U %S' -o "$work/.time" "$@" > /dev/null 2>&1 ||
      { echo "bench: failed: $*" >&2; exit 1; }
    read -r wall cpu < <(awk -v w="$wall" -v c="$cpu" '{ u = $2 + $3
      print (w == "" || $1 < w ? $1 : w), (c == "" || u < c ? u : c) }' "$work/.time")
  done
  echo "$wall $cpu"
}

results=$work/encode-results.tsv
: > "$results"
measure() {  # INPUT-LABEL BYTES DIR NAME
  local label=$1 bytes=$2 dir=$3 name=$4 m level archive t wall cpu
  for m in 5 7; do
    archive=$work/enc-jlha-$label-lh$m.lzh
    t=$(cd "$dir" && timed "$runs" "$archive" jlha "ao${m}q" "$archive" "$name")
    read -r wall cpu <<< "$t"
    printf '%s\tjlha\tlh%s\t-\t%s\t%s\t%s\t%s\n' "$label" "$m" "$bytes" "$(stat -c %s "$archive")" \
      "$wall" "$cpu" >> "$results"
  done
  for m in 5 6 7; do
    for level in default best; do
      archive=$work/enc-ours-$label-lh$m-$level.lzh
      local option=() n=$runs
      [ $level = best ] && option=(--best) && n=1
      t=$(cd "$dir" && timed "$n" "$archive" "$tool" a --method "lh$m" "${option[@]}" "$archive" "$name")
      read -r wall cpu <<< "$t"
      "$tool" t "$archive" > /dev/null || { echo "bench: $archive does not test clean" >&2; exit 1; }
      printf '%s\tours\tlh%s\t%s\t%s\t%s\t%s\t%s\n' "$label" "$m" "$level" "$bytes" \
        "$(stat -c %s "$archive")" "$wall" "$cpu" >> "$results"
    done
  done
}
measure bench "$(stat -c %s "$work/bench-input.bin")" "$work" bench-input.bin
measure payload "$(du -sb "$payload" | cut -f1)" "$work" payload

awk -F'\t' '
  $2 == "jlha" { size[$1 "/" $3] = $6; wall[$1 "/" $3] = $7; cpu[$1 "/" $3] = $8 }
  { rows[NR] = $0 }
  END {
    printf "%-8s %-5s %-6s %-8s %12s %7s %8s   %9s %10s %10s\n", "input", "tool", "method", "level",
           "bytes", "ratio", "MB/s", "size/jlha", "speed/jlha", "cpu/jlha"
    for (i = 1; i <= NR; i++) {
      split(rows[i], f, "\t")
      # Compared with jlha at the same method, or -lh7- for -lh6-.
      peer = f[1] "/" (f[3] == "lh6" ? "lh7" : f[3])
      printf "%-8s %-5s -%s- %-8s %12d %6.2f%% %8.1f", f[1], f[2], f[3], f[4], f[6],
             100 * f[6] / f[5], f[5] / 1e6 / f[7]
      if (f[2] == "ours") printf "   %9.4f %9.2fx %9.2fx", f[6] / size[peer], wall[peer] / f[7], cpu[peer] / f[8]
      printf "\n"
      if (f[2] == "ours" && f[3] == "lh7")
        goal[f[1] "/" f[4]] = f[6] / size[f[1] "/lh7"] ";" wall[f[1] "/lh7"] / f[7] ";" cpu[f[1] "/lh7"] / f[8]
    }
    print ""
    for (input in size) {
      split(input, p, "/")
      if (p[2] != "lh7") continue
      split(goal[p[1] "/default"], d, ";"); split(goal[p[1] "/best"], b, ";")
      printf "%-8s default -lh7-: %.4f of jlha -lh7- (goal <= 0.97), %.2fx its speed (goal >= 5), %.2fx by CPU time;", p[1], d[1], d[2], d[3]
      printf " --best -lh7-: %.4f (goal <= 0.93)\n", b[1]
    }
  }' "$results"

# One thread against two, by turns: the payload (many files: entries on
# both threads) and the bench input (one file: its segments on both).
echo
for input in payload bench-input.bin; do
  for level in default best; do
    option=()
    [ $level = best ] && option=(--best)
    best1= best2= turns=$runs
    [ $level = best ] && turns=1
    for _ in $(seq "$turns"); do
      for n in 1 2; do
        archive=$work/enc-threads-$n.lzh
        t=$(cd "$work" && timed 1 "$archive" "$tool" a --threads "$n" "${option[@]}" "$archive" "$input")
        read -r wall _ <<< "$t"
        if [ $n = 1 ]; then best1=$(awk -v a="$best1" -v b="$wall" 'BEGIN { print (a == "" || b < a ? b : a) }')
        else best2=$(awk -v a="$best2" -v b="$wall" 'BEGIN { print (a == "" || b < a ? b : a) }'); fi
      done
      cmp -s "$work/enc-threads-1.lzh" "$work/enc-threads-2.lzh" ||
        { echo "bench: --threads 1 and 2 made different archives of $input" >&2; exit 1; }
    done
    awk -v i="$input" -v l=$level -v a="$best1" -v b="$best2" -v c="$(nproc)" 'BEGIN {
      printf "%-15s -lh7- %-7s 1 thread %.2f s, 2 threads %.2f s: %.2fx (goal >= 1.7 on 2 cores; %d here)\n",
             i, l, a, b, a / b, c }'
  done
done
