#!/bin/bash
# lzhtool on self-extracting packages: the archive is looked for behind the
# block, so a block text such as "C:\sfx-lh7" is no header; a header the
# reader refuses before the first one it accepts fails the test.
#   lzhtool_package_test.sh LZHTOOL MKSFX MODULE WORK
set -uo pipefail
lzhtool=$1 mksfx=$2 module=$3 work=$4
[ -f "$module" ] || { echo "SKIP: no module $module"; exit 77; }
rm -rf "$work" && mkdir -p "$work/in" || exit 1
fail() { echo "FAIL: $*"; exit 1; }

printf 'hello\n' > "$work/in/a.txt"
"$mksfx" -o "$work/pkg.exe" --module "$module" --dest 'C:\sfx-lh7' -C "$work/in" a.txt > /dev/null ||
  fail "mksfx failed"
"$lzhtool" t "$work/pkg.exe" > "$work/t.log" 2>&1 || fail "lzhtool t failed: $(cat "$work/t.log")"
! grep -q "invalid header" "$work/t.log" || fail "the block was taken for a header"

# A level-0 archive whose header has a wrong checksum, before an intact
# copy: the reader refuses the first header, and lzhtool fails.
"$lzhtool" a --level 0 "$work/plain.lzh" "$work/in/a.txt" > /dev/null || fail "lzhtool a failed"
python3 - "$work/plain.lzh" "$work/damaged.lzh" <<'PY' || fail "cannot write the damaged copy"
import sys
plain = open(sys.argv[1], 'rb').read()
bad = bytearray(plain)
bad[1] ^= 0x55  # the level-0 header checksum
open(sys.argv[2], 'wb').write(bytes(bad) + plain)
PY
"$lzhtool" t "$work/damaged.lzh" > "$work/d.log" 2>&1 && fail "a refused header passed: $(cat "$work/d.log")"
grep -q "was refused" "$work/d.log" || fail "no failure line: $(cat "$work/d.log")"
echo "PASS"
