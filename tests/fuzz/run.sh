#!/bin/bash
# run.sh SECONDS [BUILD_DIR]
#
# Builds the libFuzzer targets (the `fuzz` preset, into BUILD_DIR, default
# build/fuzz), makes their seed corpora from the shared real archives and a
# few archives made with lzhgen, replays tests/fuzz/regressions/<target>/*,
# then runs every target for SECONDS seconds.  Prints one line per target;
# a target's whole log only when it failed.  Exits 1 if any target found a
# crash, leak, timeout or sanitizer report (its input is kept under
# BUILD_DIR/fuzz-artifacts/), 2 on a usage or build error.
#
# The corpus each target grows is kept in BUILD_DIR/fuzz-corpus/<target>, so
# later runs go on from it.  Environment: LZHSFX_REAL_CORPUS (default
# ../shared/corpus/real beside the repository), LZHGEN (default
# ../shared/tools/lzhgen/lzhgen), LZHSFX_MODULE (the built module that seeds
# the PE targets, default build/win32/sfx.exe; without it they start from
# hand-made images), FUZZ_TARGETS (a space-separated subset of the
# targets).
set -u

usage() { echo "usage: tests/fuzz/run.sh SECONDS [BUILD_DIR]" >&2; exit 2; }
[ $# -ge 1 ] && [ $# -le 2 ] || usage
case $1 in '' | *[!0-9]*) usage ;; esac
seconds=$1

here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
build=${2:-$repo/build/fuzz}
shared=$(cd "$repo/../shared" 2>/dev/null && pwd)
real_corpus=${LZHSFX_REAL_CORPUS:-$shared/corpus/real}
lzhgen=${LZHGEN:-$shared/tools/lzhgen/lzhgen}
module=${LZHSFX_MODULE:-$repo/build/win32/sfx.exe}
all_targets="fuzz_header fuzz_scanner fuzz_archive fuzz_static_huffman
             fuzz_adaptive_huffman fuzz_lh3 fuzz_lzss fuzz_stored fuzz_round_trip
             fuzz_pe_headers fuzz_pe_resources fuzz_branding fuzz_ico fuzz_package_file fuzz_info"
targets=${FUZZ_TARGETS:-$all_targets}

# Per-input limits: a slow or memory-hungry input is a finding too.
input_timeout=10
rss_limit_mb=1024
max_len=70000

work=$(mktemp -d "${TMPDIR:-/tmp}/lzhsfx-fuzz.XXXXXX") || exit 2
trap 'rm -rf "$work"' EXIT
trap 'exit 130' INT TERM

# ---------------------------------------------------------------- build
if ! { cmake --preset fuzz -S "$repo" -B "$build" &&
       cmake --build "$build" -j2; } > "$work/build.log" 2>&1; then
    cat "$work/build.log"
    echo "fuzz: build failed" >&2
    exit 2
fi

# ---------------------------------------------------------------- seeds
# Small archives of every method and header level, and the header features
# the shared corpus has few of: header CRCs, padding, odd extended headers,
# directories, Shift-JIS names, UTF-16 names and a code page (0x44, 0x45,
# 0x46; well-formed and not), a prefix before the first header.
make_generated() {
    local out=$1 level
    mkdir -p "$out/in"
    printf 'MZ...-lhd- is not a header...' > "$out/in/prefix"
    # 22 byte values with Fibonacci frequencies (1, 1, 2, 3, 5 ...), shuffled:
    # Huffman codes longer than the lookup tables and deep adaptive trees.
    awk 'BEGIN { srand(7); a = 1; b = 1; n = 0
                 for (k = 0; k < 22; k++) {
                     for (j = 0; j < a; j++) s[n++] = k
                     c = a + b; a = b; b = c
                 }
                 for (i = n - 1; i > 0; i--) {
                     j = int(rand() * (i + 1)); t = s[i]; s[i] = s[j]; s[j] = t
                 }
                 for (i = 0; i < n; i++) printf "%c", 48 + s[i] }' > "$out/in/skewed"
    for level in 0 1 2; do
        "$lzhgen" "$out/methods-L$level.lzh" -q --level "$level" \
            --method lh0 --gen a0=text:700 --method lz4 --gen a4=seq:300 \
            --method lh1 --gen b1=text:3k --gen c1=rep:2k:abcabd \
            --method lh2 --gen b2=text:10k --gen c2=zero:20k \
            --method lh3 --gen b3=text:10k --gen c3=rand:200 \
            --method lh4 --gen b4=text:3k --method lh5 --gen b5=mix:3k --gen c5=rand:300 \
            --method lh6 --gen b6=text:3k --method lh7 --gen b7=mix:3k \
            --method lzs --gen bs=text:2k --gen cs=zero:3k \
            --method lz5 --gen bz=text:2k --gen cz=seq:600 || return 1
    done
    "$lzhgen" "$out/skewed-L2.lzh" -q -C "$out/in" --method lh1 skewed --method lh2 skewed \
        --method lh3 skewed --method lh5 skewed --method lh7 skewed || return 1
    "$lzhgen" "$out/headers-L1.lzh" -q --level 1 --prefix-file "$out/in/prefix" \
        --bad-header-sum --gen bad=text:100 --ext 3f0102 --gen ext=text:100 \
        --dir docs --name-hex 835c837483672f955c8ea62e747874 --gen sj=text:50 \
        --bad-crc --gen crc=text:100 || return 1
    "$lzhgen" "$out/headers-L2.lzh" -q --level 2 --l2-pad 3 --gen pad=text:100 \
        --bad-header-crc --gen hcrc=text:100 --attr 0x21 --gen attr=text:10 \
        --dir empty --name-hex 835c837483672f955c8ea62e747874 --gen sj=text:50 \
        --no-end-mark --gen last=text:10 || return 1
    # "表示 😀.txt" in "Δέλτα/ソフト/", code page 932; an odd length and
    # an unpaired surrogate.
    for level in 1 2; do
        "$lzhgen" "$out/wide-L$level.lzh" -q --level "$level" \
            --ext 46a4030000 --ext 4468883a7920003dd800de2e00740078007400 \
            --ext 459403ad03bb03c403b103ffffbd30d530c830ffff --gen wide=text:50 \
            --ext 446f006400640041 --gen odd=text:10 --ext 4461003dd86200 --gen lone=text:10 || return 1
    done
}

seeds=$work/seeds
generated=()
if [ -x "$lzhgen" ] && make_generated "$work/gen" > "$work/gen.log" 2>&1; then
    generated=("$work"/gen/*.lzh)
else
    echo "fuzz: no lzhgen archives (seeding from the shared corpus only)"
fi
real=()
[ -d "$real_corpus" ] &&
    mapfile -t real < <(find "$real_corpus" -type f ! -name MANIFEST.txt | sort)
if ! "$build/fuzz_make_seeds" "$seeds" "${real[@]}" "${generated[@]}" > "$work/seeds.log" 2>&1; then
    cat "$work/seeds.log"
    echo "fuzz: making the seed corpora failed" >&2
    exit 2
fi
# The encoder's round trip: a control byte (method, level, repeats), then
# text, a program's bytes, runs.
mkdir -p "$seeds/fuzz_round_trip"
for control in 00 01 02 04 06 0a 3e; do
    { printf "\\x$control"; head -c 6000 "$here/README.md"; } > "$seeds/fuzz_round_trip/text-$control"
    { printf "\\x$control"; head -c 6000 "$build/fuzz_make_seeds"; } > "$seeds/fuzz_round_trip/binary-$control"
    { printf "\\x$control"; printf 'aaaaaaaaaaaabbbbbbbbbbbbbbbbbbbbbbbbbbbbbcab%.0s' $(seq 40); } \
        > "$seeds/fuzz_round_trip/runs-$control"
done

# PE images, icons, package files and packages: the module and hand-made
# images (make_pe_seeds), packages made of them by mksfx (plain, with the
# CRC-32, branded), the example icon and package file.
modules=()
[ -f "$module" ] && modules=("$module")
if ! "$build/fuzz_make_pe_seeds" "$seeds" "${modules[@]}" > "$work/pe-seeds.log" 2>&1; then
    cat "$work/pe-seeds.log"
    echo "fuzz: making the PE seed corpora failed" >&2
    exit 2
fi
make_package() {
    local name=$1
    shift
    "$build/mksfx" -o "$seeds/fuzz_info/$name" -C "$repo/examples/payload" --mtime 2020-01-02 "$@" . \
        >> "$work/pe-seeds.log" 2>&1 || return 1
    head -c 4096 "$seeds/fuzz_info/$name" > "$seeds/fuzz_pe_headers/package-$name"
}
if ! { make_package hand-made --module "$seeds/hand-made.exe" &&
       make_package hand-made-crc --module "$seeds/hand-made.exe" --crc --codepage 1252 \
           --title "T" --question "Go?" --run "setup.exe" &&
       make_package hand-made-branded --module "$seeds/hand-made.exe" --crc \
           --icon "$repo/examples/sample.ico" --version ProductName=Seed &&
       { [ ${#modules[@]} = 0 ] ||
         make_package module-branded --module "$module" --crc --icon "$repo/examples/sample.ico" \
             --version ProductName=Seed --version FileVersion=1.2; }; }; then
    cat "$work/pe-seeds.log"
    echo "fuzz: making the package seeds failed" >&2
    exit 2
fi
cp "$repo/examples/sample.ico" "$seeds/fuzz_ico/"
cp "$repo/examples/package.ini" "$seeds/fuzz_package_file/"

# ---------------------------------------------------------------- runs
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1}
artifacts=$build/fuzz-artifacts
mkdir -p "$artifacts"

# A log shows a finding even where libFuzzer's exit status would not.
has_finding() {
    grep -qE '^==[0-9]+==ERROR|runtime error:|ERROR: libFuzzer|ALARM: working' "$1" ||
        grep -qE 'FUZZ_CHECK failed|^SUMMARY: ' "$1"
}

final_stat() { sed -n "s/^stat::$1: *//p" "$2" | tail -n 1; }

failed=0
for target in $targets; do
    bin=$build/$target
    log=$work/$target.log
    if [ ! -x "$bin" ]; then
        echo "$target: FAILED (no such target)"
        failed=1
        continue
    fi

    regressions=("$here/regressions/$target"/*)
    if [ -e "${regressions[0]}" ]; then
        if ! "$bin" -timeout=$input_timeout -rss_limit_mb=$rss_limit_mb "${regressions[@]}" \
                > "$log" 2>&1 || has_finding "$log"; then
            cat "$log"
            echo "$target: FAILED replaying tests/fuzz/regressions/$target"
            failed=1
            continue
        fi
    fi

    corpus=$build/fuzz-corpus/$target
    mkdir -p "$corpus" "$seeds/$target"
    dict=()
    case $target in
        fuzz_header | fuzz_scanner | fuzz_archive) dict=(-dict="$here/lha.dict") ;;
        fuzz_pe_headers | fuzz_pe_resources | fuzz_branding | fuzz_info) dict=(-dict="$here/pe.dict") ;;
        fuzz_package_file) dict=(-dict="$here/package_file.dict") ;;
    esac
    "$bin" -max_total_time="$seconds" -timeout=$input_timeout -rss_limit_mb=$rss_limit_mb \
        -max_len=$max_len -print_final_stats=1 -artifact_prefix="$artifacts/$target-" \
        "${dict[@]}" "$corpus" "$seeds/$target" > "$log" 2>&1
    status=$?
    if [ $status -ne 0 ] || has_finding "$log"; then
        cat "$log"
        echo "$target: FAILED (exit status $status; inputs in $artifacts)"
        failed=1
        continue
    fi
    last=$(grep -E '^#[0-9]+' "$log" | tail -n 1)
    cov=$(sed -n 's/.* cov: \([0-9]*\).*/\1/p' <<< "$last")
    ft=$(sed -n 's/.* ft: \([0-9]*\).*/\1/p' <<< "$last")
    corp=$(sed -n 's/.* corp: \([0-9]*\).*/\1/p' <<< "$last")
    printf '%s: ok, %s runs, %s exec/s, cov %s, ft %s, corpus %s (+%s), peak rss %s MB\n' \
        "$target" "$(final_stat number_of_executed_units "$log")" \
        "$(final_stat average_exec_per_sec "$log")" "${cov:-?}" "${ft:-?}" "${corp:-?}" \
        "$(final_stat new_units_added "$log")" "$(final_stat peak_rss_mb "$log")"
done
exit $failed
