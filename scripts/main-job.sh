#!/bin/bash
# The main job: builds lzhsfx, packs the sample payload (examples/payload)
# as an LHA archive, turns it into a self-extracting package with mksfx,
# runs the package under Wine on a virtual display (a robot answers the
# question and confirms the destination), and shows what it extracted.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
bash scripts/setup.sh
for preset in host win32; do
  cmake --preset $preset > /dev/null
  cmake --build --preset $preset -j2 > /dev/null
done

out=$root/build/sample
rm -rf "$out" && mkdir -p "$out/shots"
../shared/tools/lzhgen/lzhgen "$out/sample.lzh" -q --level 2 --method lh5 \
  -C examples/payload readme.txt docs
dest="Z:${out//\//\\}\\extracted"
build/host/mksfx -o "$out/sample-setup.exe" --module build/win32/sfx.exe \
  --title "lzhsfx sample" --question "Extract the lzhsfx sample?" \
  --dest "$dest" --no-confirm --no-open-folder --crc "$out/sample.lzh"

cat > "$out/sample.robot" <<ROBOT
timeout 60
wait "lzhsfx sample"
shot 1-question
answer "lzhsfx sample" yes
wait "Confirm Extracting"
shot 2-destination
click 1
exit sample-setup.exe
ROBOT
echo "== running $out/sample-setup.exe under Wine"
tests/e2e/run.sh --timeout 90 --shots "$out/shots" --final-shot 3-done \
  -r "$out/sample.robot" "$out/sample-setup.exe"

echo "== extracted into $out/extracted"
(cd "$out/extracted" && find . -type f | sort | xargs sha256sum)
echo "== screenshots in $out/shots"
ls "$out/shots"
