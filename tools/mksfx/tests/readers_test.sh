#!/bin/bash
# A branded package as independent readers see it: icoutils' wrestool finds
# the new icon (the same images as the .ico file) and version strings, 7z
# reads the PE image's resources and finds the archive, and mksfx --info
# agrees.  Skips (77) without the built module or the readers.
#
# usage: readers_test.sh MKSFX MODULE ICON PAYLOAD WORK
set -uo pipefail
mksfx=$1 module=$2 icon=$3 payload=$4 work=$5

fail() { echo "FAIL: $*" >&2; exit 1; }
[ -f "$module" ] || { echo "SKIP: no module at $module"; exit 77; }
for tool in wrestool icotool 7z iconv; do
  command -v $tool > /dev/null || { echo "SKIP: $tool not installed (scripts/setup.sh)"; exit 77; }
done
rm -rf "$work" && mkdir -p "$work" || fail "cannot make $work"

"$mksfx" -o "$work/branded.exe" --module "$module" -C "$payload" --crc \
  --icon "$icon" --version "ProductName=Reader Check ✓" --version FileVersion=4.3.2.1 \
  --version "CompanyName=Example Co." --version "LegalCopyright=© 2026 Example" . ||
  fail "mksfx failed"

# The icon: group 103 lists exactly the file's images, byte for byte.
wrestool -l "$work/branded.exe" > "$work/list.txt" || fail "wrestool -l failed"
cat "$work/list.txt"
grep -q -- '--type=14 --name=103 ' "$work/list.txt" || fail "no main icon group"
wrestool -x --type=14 --name=103 -o "$work/got.ico" "$work/branded.exe" || fail "wrestool -x icon failed"
[ "$(icotool -l "$work/got.ico")" = "$(icotool -l "$icon")" ] || fail "the icon's images differ: $(icotool -l "$work/got.ico")"
# wrestool rebuilds an .ico from the group and its images in order, then
# writes the group's bytes once more (the module's own icon comes out so
# too): the file given is what comes first.
head -c "$(stat -c %s "$icon")" "$work/got.ico" | cmp - "$icon" || fail "the icon's images differ from $icon"
count=$(icotool -l "$icon" | wc -l)
# The replace icon's group and image stay: one more image than the file has.
[ "$(grep -c -- '--type=3 ' "$work/list.txt")" = $((count + 1)) ] || fail "expected $((count + 1)) icon images"
grep -q -- '--type=14 --name=104 ' "$work/list.txt" || fail "the replace icon's group is gone"

# The version strings.
wrestool -x --raw --type=16 "$work/branded.exe" | iconv -f UTF-16LE -t UTF-8 -c | tr '\0' '\n' > "$work/version.txt"
for text in "Reader Check ✓" "4.3.2.1" "Example Co." "© 2026 Example" "InternalName"; do
  grep -qF "$text" "$work/version.txt" || fail "version block lacks $text"
done

# 7z: the resources, and the archive behind the image.  (7z checks the PE
# checksum over the image alone, without what follows it; the package's is
# the whole file's, as Windows computes it: checksum_test.sh.)
7z l -tpe "$work/branded.exe" > "$work/7z-pe.txt" 2>&1 || fail "7z cannot read the image"
grep -q '\.rsrc/0/GROUP_ICON/103' "$work/7z-pe.txt" || fail "7z sees no icon group"
7z l "$work/branded.exe" > "$work/7z.txt" 2>&1 || fail "7z cannot read the archive"
grep -q 'Type = Lzh' "$work/7z.txt" && grep -q 'docs/changes.txt' "$work/7z.txt" || fail "7z sees no archive"

"$mksfx" --info "$work/branded.exe" > "$work/info.txt" || fail "mksfx --info: $(cat "$work/info.txt")"
cat "$work/info.txt"
grep -q 'ProductName      Reader Check ✓' "$work/info.txt" && grep -q 'PE checksum .*, matches the file' "$work/info.txt" ||
  fail "mksfx --info disagrees"

# Without --module, the host's mksfx takes the Windows build's module.
if [ "$(realpath -m "$module")" = "$(realpath -m "$(dirname "$mksfx")/../win32/sfx.exe")" ]; then
  "$mksfx" -o "$work/default.exe" -C "$payload" . > /dev/null || fail "no default module"
  # The same bytes but the checksum field (optional header + 64), which
  # holds the package's.
  size=$(stat -c %s "$module") field=$(($(od -An -tu4 -j60 -N4 "$module") + 24 + 64))
  cmp -n "$field" "$module" "$work/default.exe" && cmp -i $((field + 4)) -n $((size - field - 4)) "$module" "$work/default.exe" ||
    fail "the default module is another file"
fi
echo "PASS: readers see the branded package"
