#!/bin/bash
# Sets up the Wine prefix of the dialog tests and screenshots for a language:
#
#   prepare_ui_prefix.sh PREFIX WINE_RUN en|ja [DPI]
#
# - DPI (default 96): the display's pixels per inch, 144 for 150%, 192 for
#   200%.
# - Wine draws the windows itself ("Managed" = "N"): without a window manager
#   there would be no captions and a two-second wait at every close.
# - Japanese: Wine has none of the Japanese system fonts, so they are mapped
#   to the IPA fonts (fonts-ipafont-gothic): "ＭＳ Ｐゴシック" of the dialogs to
#   its metric twin IPA P Gothic, so that they are laid out as on Windows,
#   and "MS UI Gothic", to which Wine links captions and message boxes under
#   code page 932.  English runs go without the mapping: there it would turn
#   backslashes in edit fields into yen signs.
# Nothing is imported when the prefix is already set for the language.  No
# Wine session of the prefix may be running; the headless one of the import
# has ended when this returns, so that the next one can open on a display.
set -euo pipefail
prefix=$1
wine_run=$2
language=$3
dpi=${4:-96}
stamp=$prefix/.ui-settings
wanted="4 $language $dpi"  # raise the number when the settings change
[ "$(cat "$stamp" 2> /dev/null)" = "$wanted" ] && exit 0

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
{
  printf 'Windows Registry Editor Version 5.00\r\n\r\n'
  printf '[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]\r\n"Managed"="N"\r\n\r\n'
  printf '[HKEY_CURRENT_USER\\Control Panel\\Desktop]\r\n"LogPixels"=dword:%08x\r\n\r\n' "$dpi"
  if [ "$language" = ja ]; then
    printf '[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]\r\n'
    printf '"ＭＳ Ｐゴシック"="IPAPGothic"\r\n"ＭＳ ゴシック"="IPAGothic"\r\n'
    printf '"MS UI Gothic"="IPAPGothic"\r\n'
  else
    printf '[-HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]\r\n'
  fi
} > "$work/settings.txt"
{ printf '\xff\xfe'; iconv -f utf-8 -t utf-16le "$work/settings.txt"; } > "$work/settings.reg"
(cd "$work" && DISPLAY= WINEPREFIX=$prefix "$wine_run" regedit /S settings.reg)
WINEPREFIX=$prefix wineserver -w
echo "$wanted" > "$stamp"
