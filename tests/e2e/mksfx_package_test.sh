#!/bin/bash
# Packages that mksfx makes from files with the example package file
# (examples/package.ini: branded, the payload packed by our encoder):
# mksfx_package_test.sh CASE
#   exe       mksfx.exe under Wine writes the same bytes as the host's
#             mksfx, with Japanese texts given in UTF-8 and the module
#             beside it taken by default
#   branded   the branded package runs under a Japanese user interface:
#             the question in Shift-JIS, then every file of the payload,
#             a Shift-JIS name with the byte 0x5C among them
. "$(dirname "$0")/lib.sh"
need_tool MKSFX
need_tool SFX_EXE
root=$(cd "$e2e_dir/../.." && pwd)
ini=$root/examples/package.ini
texts=(--title 'サンプル' --question '展開しますか？')

case ${1:-} in
exe)
  need_tool MKSFX_EXE
  new_work mksfx-package-exe
  "$MKSFX" --config "$ini" --module "$SFX_EXE" -o "$work/host.exe" "${texts[@]}" > /dev/null ||
    fail "host mksfx failed"
  run_bench -t 60 "$MKSFX_EXE" --config "$(windows_path "$ini")" -o "$(windows_path "$work/win.exe")" "${texts[@]}"
  expect_status 0
  cmp "$work/host.exe" "$work/win.exe" || fail "the two packages differ"
  ;;
branded)
  need_tool ROBOT_EXE
  new_work mksfx-package-branded
  cp -r "$root/examples/payload" "$work/payload" || fail "cannot copy the payload"
  printf 'table\r\n' > "$work/payload/docs/表示.txt"
  "$MKSFX" --config "$ini" --module "$SFX_EXE" -o "$work/pkg.exe" "${texts[@]}" \
    --dest "$(windows_path "$work/out")" -C "$work/payload" . > /dev/null || fail "mksfx failed"
  run_bench --ja -t 90 --shots "$E2E_SHOTS/mksfx" -r "$e2e_dir/scripts/mksfx_branded.robot" "$work/pkg.exe"
  expect_status 0
  expect_line 'robot: seen "サンプル" "展開しますか？"'
  expect_line 'run: robot exit 0'
  diff -r "$work/payload" "$work/out" || fail "the extracted files differ from the payload"
  ;;
*)
  fail "unknown case '${1:-}'"
  ;;
esac
echo "PASS: mksfx package $1"
