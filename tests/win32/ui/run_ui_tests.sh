#!/bin/bash
# Runs a UI test program under Wine in the project's prefix (or $WINEPREFIX).
# With --display it gets a private virtual X display (the dialog tests);
# without, it runs headless (text and resource checks).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
wine_run=$here/../../../scripts/wine-run.sh
prefix=${WINEPREFIX:-$here/../../../build/wineprefix}

display=no
if [ "${1:-}" = --display ]; then
  display=yes
  shift
fi

# Wine has no "ＭＳ Ｐゴシック": map it to its metric twin IPA P Gothic, so the
# Japanese dialogs are laid out as on Windows, and let captions (Tahoma) fall
# back to it for Japanese text.  Done once per prefix.
if ! grep -qF '"\xff2d\xff33 \xff30\x30b4\x30b7\x30c3\x30af"="IPAPGothic"' "$prefix/user.reg" 2> /dev/null; then
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  # IPA P Gothic's file and name, as the REG_MULTI_SZ of the font link.
  link=$(printf 'ipagp.ttf,IPAPGothic' | iconv -t utf-16le | od -An -tx1 | tr -s ' \n' ',,' | sed 's/^,//; s/,$//')
  {
    printf 'Windows Registry Editor Version 5.00\r\n\r\n'
    printf '[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]\r\n'
    printf '"ＭＳ Ｐゴシック"="IPAPGothic"\r\n"ＭＳ ゴシック"="IPAGothic"\r\n\r\n'
    printf '[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\FontLink\\SystemLink]\r\n'
    printf '"Tahoma"=hex(7):%s,00,00,00,00\r\n' "$link"
  } > "$work/fonts.txt"
  { printf '\xff\xfe'; iconv -f utf-8 -t utf-16le "$work/fonts.txt"; } > "$work/fonts.reg"
  (cd "$work" && DISPLAY= "$wine_run" regedit /S fonts.reg)
fi

if [ $display = yes ]; then
  exec xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" "$wine_run" "$@"
fi
DISPLAY= exec "$wine_run" "$@"
