#!/bin/bash
# mksfx.exe under Wine writes the same package as the host's mksfx, and
# refuses a package given as the module with exit status 1.
. "$(dirname "$0")/lib.sh"
need_tool MKSFX
need_tool MKSFX_EXE
need_tool SFX_EXE
need_tool LZHGEN

new_work mksfx-exe
"$LZHGEN" "$work/a.lzh" -q --gen a.txt=text:5k --level 0 --method lh6 --gen b.bin=mix:40k ||
  fail "lzhgen failed"
cp "$SFX_EXE" "$work/sfx.exe"
options=(--crc --title "Bench" --question "Go on?" --dest "%temp%" --run "setup.exe /q"
  --remove-after-run --no-confirm --skip-dialog --variant 6)
"$MKSFX" -o "$work/host.exe" --module "$work/sfx.exe" "${options[@]}" "$work/a.lzh" ||
  fail "host mksfx failed"

run_bench -t 60 "$MKSFX_EXE" -o "$(windows_path "$work/win.exe")" \
  --module "$(windows_path "$work/sfx.exe")" "${options[@]}" "$(windows_path "$work/a.lzh")"
expect_status 0
cmp "$work/host.exe" "$work/win.exe" || fail "the two packages differ"

run_bench -t 60 "$MKSFX_EXE" -o "$(windows_path "$work/again.exe")" \
  --module "$(windows_path "$work/host.exe")" "$(windows_path "$work/a.lzh")"
expect_status 1
grep -q '^program: mksfx: .*host.exe: the image ends at ' "$work/run.log" || fail "no refusal message"
[ ! -e "$work/again.exe" ] || fail "a refused package was written"
echo "PASS: mksfx.exe"
