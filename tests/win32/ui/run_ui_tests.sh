#!/bin/bash
# Runs a UI test program under Wine.
#
#   run_ui_tests.sh PROGRAM ARGS...            headless, in the project's prefix
#   run_ui_tests.sh --display PROGRAM ARGS...  on a private virtual X display
#
# Wine ties a whole session (all processes until wineserver exits) to the
# display of its first process, so the display runs use a prefix of their
# own ("<prefix>-ui"), one at a time, and end their session when done.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
wine_run=$here/../../../scripts/wine-run.sh
prefix=${WINEPREFIX:-$here/../../../build/wineprefix}

if [ "${1:-}" != --display ]; then
  DISPLAY= exec "$wine_run" "$@"
fi
shift
export WINEPREFIX=$prefix-ui
language=en
[[ ${LANG:-} == ja_* ]] && language=ja
wineserver -w
"$here/prepare_ui_prefix.sh" "$WINEPREFIX" "$wine_run" $language
status=0
xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" "$wine_run" "$@" || status=$?
wineserver -k 2> /dev/null || true
exit $status
