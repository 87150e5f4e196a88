#!/bin/bash
# The main job: builds lzhsfx, makes the sample self-extracting package with
# mksfx alone (examples/package.ini: the payload in examples/payload packed
# by our own encoder, the sample icon and version strings), shows what the
# package holds, runs it under Wine on a virtual display (a robot answers
# the question and confirms the destination), and shows what it extracted.
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
dest="Z:${out//\//\\}\\extracted"
# The module is build/win32/sfx.exe, which build/host/mksfx takes by default.
build/host/mksfx --config examples/package.ini -o "$out/sample-setup.exe" --dest "$dest"
echo "== what the package holds"
build/host/mksfx --info "$out/sample-setup.exe"

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
