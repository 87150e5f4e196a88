#!/bin/bash
# Shows each of the module's dialogs with sample data under Wine on a virtual
# display and saves a screenshot of each, in English and in Japanese:
#
#   screenshots.sh UI_DEMO_EXE [OUTPUT_DIR] [DISPLAY_NUMBER] [DPI]
#
# Files: OUTPUT_DIR/<dialog>-<en|ja>.png (default /tmp/ui-shots, display 72);
# with a DPI other than 96 (144: 150%, 192: 200%) on a display scaled to
# match, OUTPUT_DIR/<dialog>-<en|ja>-<percent>.png.
set -euo pipefail
demo=$(readlink -f "$1")
out=${2:-/tmp/ui-shots}
number=${3:-72}
dpi=${4:-96}
suffix=
[ "$dpi" = 96 ] || suffix=-$((dpi * 100 / 96))
here=$(cd "$(dirname "$0")" && pwd)
wine_run=$here/../../../scripts/wine-run.sh
export WINEPREFIX=${WINEPREFIX:-$here/../../../build/wineprefix}-ui
mkdir -p "$out"

number_display=:$number
Xvfb "$number_display" -screen 0 $((1024 * dpi / 96))x$((768 * dpi / 96))x24 -dpi "$dpi" -nolisten tcp \
  > /dev/null 2>&1 &
xvfb=$!
trap 'wineserver -k 2> /dev/null || true; kill $xvfb 2> /dev/null || true' EXIT
for _ in $(seq 50); do
  [ -e /tmp/.X11-unix/X$number ] && break
  sleep 0.1
done

shoot() {  # dialog language locale
  local log
  log=$(mktemp)
  DISPLAY=$number_display LANG=$3 "$wine_run" "$demo" "$1" 8 > "$log" 2>&1 &
  local pid=$!
  # SHOT_TIMEOUT: seconds to wait for the dialog (default 10; emulated
  # machines need minutes).
  for _ in $(seq $((${SHOT_TIMEOUT:-10} * 10))); do
    grep -q shown "$log" && break
    sleep 0.1
  done
  sleep 0.3
  import -display "$number_display" -window root "$out/$1-$2$suffix.png"
  kill "$pid" 2> /dev/null || true
  wait "$pid" 2> /dev/null || true
  rm -f "$log"
  echo "$out/$1-$2$suffix.png"
}

# Each language needs its font settings in the prefix, and the first
# process after a change of code page still finds Wine's system-font links
# of the other one: one unrecorded run per language settles them.
for language in en:C.UTF-8 ja:ja_JP.UTF-8; do
  name=${language%%:*}
  locale=${language#*:}
  wineserver -w
  "$here/prepare_ui_prefix.sh" "$WINEPREFIX" "$wine_run" "$name" "$dpi"
  DISPLAY=$number_display LANG=$locale "$wine_run" "$demo" 103 1 > /dev/null 2>&1 || true
  for dialog in 102 102browse 103 119 120; do
    shoot $dialog "$name" "$locale"
  done
done
