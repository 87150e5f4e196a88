#!/bin/bash
# Runs a Windows program under Wine in the project's private prefix
# (build/wineprefix, made on first use) and returns its exit code.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
export WINEPREFIX=${WINEPREFIX:-$here/../build/wineprefix}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$WINEPREFIX"
  # Two test runs may arrive here at once; one makes the prefix.
  exec 9> "$WINEPREFIX.lock"
  flock 9
  [ -f "$WINEPREFIX/system.reg" ] || DISPLAY= wineboot -i > /dev/null 2>&1
  flock -u 9
fi
exec wine "$@"
