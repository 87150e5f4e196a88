#!/bin/bash
# The PE checksum of packages against pefile's (the whole file, as Windows
# computes it): plain, with --crc, branded, damaged, and signed with
# osslsigncode, which writes the checksum of the signed file and then
# verifies its signature.  mksfx --info says whether the checksum matches,
# and what the file gives.  Skips (77) without the built module, pefile,
# openssl or osslsigncode.
#
# usage: checksum_test.sh MKSFX MODULE ICON PAYLOAD WORK
set -uo pipefail
mksfx=$1 module=$2 icon=$3 payload=$4 work=$5
python=/usr/bin/python3

fail() { echo "FAIL: $*" >&2; exit 1; }
[ -f "$module" ] || { echo "SKIP: no module at $module"; exit 77; }
"$python" -c 'import pefile' 2> /dev/null || { echo "SKIP: python3-pefile not installed"; exit 77; }
for tool in openssl osslsigncode; do
  command -v $tool > /dev/null || { echo "SKIP: $tool not installed (scripts/setup.sh)"; exit 77; }
done
rm -rf "$work" && mkdir -p "$work" || fail "cannot make $work"

# "STORED COMPUTED" as pefile reads and computes them, in hexadecimal.
pefile_checksum() {
  "$python" -c 'import pefile, sys
pe = pefile.PE(sys.argv[1], fast_load=True)
print("%08X %08X" % (pe.OPTIONAL_HEADER.CheckSum, pe.generate_checksum()))' "$1"
}

# The checksum stored in FILE is pefile's, and --info says it matches.
check() {
  local file=$1 what=$2 sums stored computed
  sums=$(pefile_checksum "$file") || fail "$what: pefile cannot read it"
  read -r stored computed <<< "$sums"
  [ "$stored" = "$computed" ] || fail "$what: checksum $stored, pefile computes $computed"
  "$mksfx" --info "$file" > "$work/info.txt" || fail "$what: mksfx --info: $(cat "$work/info.txt")"
  grep -q "PE checksum $stored, matches $3\$" "$work/info.txt" ||
    fail "$what: --info says $(grep 'PE checksum' "$work/info.txt")"
  echo "$what: $stored, matches"
}

"$mksfx" -o "$work/plain.exe" --module "$module" -C "$payload" . > /dev/null || fail "mksfx failed"
check "$work/plain.exe" plain "the file"
"$mksfx" -o "$work/crc.exe" --module "$module" -C "$payload" --crc . > /dev/null || fail "mksfx --crc failed"
check "$work/crc.exe" "--crc" "the file"
"$mksfx" -o "$work/branded.exe" --module "$module" -C "$payload" --crc --icon "$icon" \
  --version ProductName=Checksum . > /dev/null || fail "mksfx --icon failed"
check "$work/branded.exe" branded "the file"

# The image alone has another checksum: the package's covers what follows.
image_end=$("$python" -c 'import pefile, sys
pe = pefile.PE(sys.argv[1], fast_load=True)
print(max(s.PointerToRawData + s.SizeOfRawData for s in pe.sections))' "$work/crc.exe")
head -c "$image_end" "$work/crc.exe" > "$work/image.exe"
read -r stored image_sum <<< "$(pefile_checksum "$work/image.exe")"
[ "$stored" != "$image_sum" ] || fail "the checksum is the image's ($image_sum)"

# One byte of the archive changed: --info says what the file gives.
cp "$work/crc.exe" "$work/damaged.exe"
size=$(stat -c %s "$work/damaged.exe")
printf '\x5a' | dd of="$work/damaged.exe" bs=1 seek=$((size - 20)) conv=notrunc status=none
read -r stored computed <<< "$(pefile_checksum "$work/damaged.exe")"
"$mksfx" --info "$work/damaged.exe" > "$work/info.txt"
grep -q "PE checksum $stored, does not match (the file gives $computed)" "$work/info.txt" ||
  fail "damaged: --info says $(grep 'PE checksum' "$work/info.txt")"
echo "damaged: $stored, the file gives $computed"

# Signed: osslsigncode appends its table right after the package (already
# a multiple of 8 bytes) and writes the checksum of the signed file.
openssl req -x509 -newkey rsa:2048 -nodes -keyout "$work/key.pem" -out "$work/cert.pem" -days 2 \
  -subj "/CN=lzhsfx checksum test" > "$work/openssl.log" 2>&1 || fail "openssl: $(cat "$work/openssl.log")"
osslsigncode sign -certs "$work/cert.pem" -key "$work/key.pem" -in "$work/crc.exe" \
  -out "$work/signed.exe" > "$work/sign.log" 2>&1 || fail "osslsigncode: $(cat "$work/sign.log")"
check "$work/signed.exe" signed "the signed file"
osslsigncode verify -CAfile "$work/cert.pem" -in "$work/signed.exe" > "$work/verify.log" 2>&1 ||
  fail "signed: osslsigncode does not verify it: $(grep -i -m3 'fail\|mismatch' "$work/verify.log")"
grep -q "signed: a certificate table of [0-9]* bytes at offset $(stat -c %s "$work/crc.exe") " "$work/info.txt" ||
  fail "signed: $(grep signature "$work/info.txt")"
grep -q 'CRC-32 .*: matches' "$work/info.txt" || fail "signed: $(grep CRC-32 "$work/info.txt")"
echo "PASS: the package's PE checksum is the whole file's"
