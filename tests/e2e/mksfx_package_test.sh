#!/bin/bash
# Packages that mksfx makes from files with the example package file
# (examples/package.ini: branded, the payload packed by our encoder):
# mksfx_package_test.sh CASE
#   exe       mksfx.exe under Wine writes the same bytes as the host's
#             mksfx, with Japanese texts given in UTF-8 and the module
#             beside it taken by default; and so it does for 2 MB of
#             mixed data at both levels
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
  # Data whose statistics change from piece to piece, so that block ends and
  # match prices are chosen close to their alternatives: both levels must
  # still choose alike on both builds.
  mkdir -p "$work/data"
  python3 - "$work/data" <<'PY'
import random, sys
r = random.Random(7)
words = [bytes(r.choice(b"etaoinshrdlu") for _ in range(r.randint(2, 9))) for _ in range(400)]
for n in range(3):
    out = bytearray()
    while len(out) < 700000:
        kind = r.randrange(3)
        if kind == 0:
            out += b" ".join(r.choice(words) for _ in range(r.randint(500, 5000)))
        elif kind == 1:
            out += bytes(r.randrange(256) for _ in range(r.randint(2000, 20000)))
        else:
            out += bytes(r.randrange(16) * 17 for _ in range(r.randint(1000, 30000)))
    open(f"{sys.argv[1]}/part{n}.bin", "wb").write(out)
PY
  for level in default best; do
    option=()
    [ "$level" = best ] && option=(--best)
    "$MKSFX" -o "$work/host-$level.exe" --module "$SFX_EXE" --mtime 2020-01-01 "${option[@]}" \
      -C "$work/data" . > /dev/null || fail "host mksfx failed ($level)"
    run_bench -t 300 "$MKSFX_EXE" -o "$(windows_path "$work/win-$level.exe")" --mtime 2020-01-01 \
      "${option[@]}" -C "$(windows_path "$work/data")" .
    expect_status 0
    cmp "$work/host-$level.exe" "$work/win-$level.exe" || fail "the two packages of data differ ($level)"
  done
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
