#!/bin/bash
# The main job: builds lzhsfx, packs the sample payload as an LHA archive,
# and lists, tests and extracts it with lzhtool.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake --preset host > /dev/null && cmake --build --preset host -j2 > /dev/null

out=build/sample
rm -rf "$out" && mkdir -p "$out"
../shared/tools/lzhgen/lzhgen "$out/sample.lzh" -q --level 2 --method lh5 -C examples/payload readme.txt docs
echo "== lzhtool l $out/sample.lzh"
build/host/lzhtool l "$out/sample.lzh"
echo "== lzhtool t"
build/host/lzhtool t "$out/sample.lzh"
echo "== lzhtool x into $out/extracted"
build/host/lzhtool x "$out/sample.lzh" "$out/extracted"
find "$out/extracted" -type f | sort
