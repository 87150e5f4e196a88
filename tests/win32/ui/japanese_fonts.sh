#!/bin/bash
# Makes a Wine prefix show Japanese dialogs as Windows does: Wine has no
# "ＭＳ Ｐゴシック", so it is mapped to its metric twin IPA P Gothic (from
# fonts-ipafont-gothic), and captions (Tahoma) fall back to it for Japanese
# text.  Done once per prefix; the headless Wine session of the import has
# ended when this returns, so that the next one can open on a display.
#
#   japanese_fonts.sh PREFIX WINE_RUN
set -euo pipefail
prefix=$1
wine_run=$2
if grep -qF '"\xff2d\xff33 \xff30\x30b4\x30b7\x30c3\x30af"="IPAPGothic"' "$prefix/user.reg" 2> /dev/null; then
  exit 0
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The font link's REG_MULTI_SZ: file and face, UTF-16, double terminator.
link=$(printf 'ipagp.ttf,IPAPGothic' | iconv -t utf-16le | od -An -tx1 | tr -s ' \n' ',,' | sed 's/^,//; s/,$//')
{
  printf 'Windows Registry Editor Version 5.00\r\n\r\n'
  printf '[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]\r\n'
  printf '"ＭＳ Ｐゴシック"="IPAPGothic"\r\n"ＭＳ ゴシック"="IPAGothic"\r\n\r\n'
  printf '[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\FontLink\\SystemLink]\r\n'
  printf '"Tahoma"=hex(7):%s,00,00,00,00\r\n' "$link"
} > "$work/fonts.txt"
{ printf '\xff\xfe'; iconv -f utf-8 -t utf-16le "$work/fonts.txt"; } > "$work/fonts.reg"
(cd "$work" && DISPLAY= WINEPREFIX=$prefix "$wine_run" regedit /S fonts.reg)
WINEPREFIX=$prefix wineserver -w
