#!/bin/bash
# Runs a Windows program under Wine on a private Xvfb display, with robot
# scripts alongside, and reports the program's exit status and what the
# robots saw.  Everything it started is ended before it returns.
#
#   run.sh [options] [--] PROGRAM [ARGS...]
#
# See usage() or docs/testing.md.
set -uo pipefail

here=$(cd "$(dirname "$0")" && pwd)

usage() {
  cat <<'EOF'
usage: run.sh [options] [--] PROGRAM [ARGS...]

Runs PROGRAM (a Unix path to a Windows executable) under Wine with ARGS,
which are passed as they are (give Windows paths, e.g. Z:\tmp\x).

  -t, --timeout SECONDS  end the program after this long (default 60)
  -r, --robot SCRIPT     run robot.exe -f SCRIPT alongside (repeatable)
      --robot-exe FILE   the robot (default $ROBOT_EXE, else
                         build/win32/robot.exe of this source tree)
      --ja               Japanese user interface: LANG=ja_JP.UTF-8
      --lang LOCALE      any locale (default C.UTF-8)
      --tz ZONE          time zone of the run (default UTC)
      --shots DIR        screenshots: a robot step "shot NAME" makes
                         DIR/NAME.png; a time-out makes DIR/timeout.png
      --final-shot NAME  take DIR/NAME.png when the program has ended
      --keep DIR         keep the program's and robots' output in DIR
      --cwd DIR          working folder of the program (default: current)
      --display N        first X display number to try (default 80)
      --prefix DIR       Wine prefix (default $WINEPREFIX, else
                         /tmp/lzhsfx-e2e-wine-$UID); made on first use
      --dll-override SPEC  add SPEC (e.g. crtdll=n,b) to WINEDLLOVERRIDES
  -h, --help             this text

Output: the program's console output as "program: " lines, each robot's
transcript as "robot: " lines (robot2:, robot3: for more scripts), then
"run: program exit N" (or "run: program timed out") and "run: robot exit N"
(N "timeout" for a robot that had to be ended).

Exit status: the program's, when every robot succeeded; 124 when the
program timed out; 125 when a robot failed or had to be ended; 2 for a
usage fault or a bench that could not start.
EOF
}

timeout=60
robots=()
robot_exe=${ROBOT_EXE:-$here/../../build/win32/robot.exe}
locale_name=C.UTF-8
tz=UTC
shots=
final_shot=
keep=
cwd=$PWD
display_base=80
prefix=${WINEPREFIX:-/tmp/lzhsfx-e2e-wine-$(id -u)}
robot_grace=60  # how long robots may go on after the program has ended
dll_overrides=

need() { [ $# -ge 2 ] || { echo "run.sh: $1 needs a value" >&2; exit 2; }; }
while [ $# -gt 0 ]; do
  case $1 in
    -t|--timeout) need "$@"; timeout=$2; shift 2 ;;
    -r|--robot) need "$@"; robots+=("$2"); shift 2 ;;
    --robot-exe) need "$@"; robot_exe=$2; shift 2 ;;
    --ja) locale_name=ja_JP.UTF-8; shift ;;
    --lang) need "$@"; locale_name=$2; shift 2 ;;
    --tz) need "$@"; tz=$2; shift 2 ;;
    --shots) need "$@"; shots=$2; shift 2 ;;
    --final-shot) need "$@"; final_shot=$2; shift 2 ;;
    --keep) need "$@"; keep=$2; shift 2 ;;
    --cwd) need "$@"; cwd=$2; shift 2 ;;
    --display) need "$@"; display_base=$2; shift 2 ;;
    --prefix) need "$@"; prefix=$2; shift 2 ;;
    --dll-override) need "$@"; dll_overrides+=";$2"; shift 2 ;;
    -h|--help) usage; exit 0 ;;
    --) shift; break ;;
    -*) echo "run.sh: unknown option $1 (see --help)" >&2; exit 2 ;;
    *) break ;;
  esac
done
[ $# -ge 1 ] || { usage >&2; exit 2; }
program=$1
shift
[[ $timeout =~ ^[0-9]+$ ]] || { echo "run.sh: --timeout takes whole seconds" >&2; exit 2; }
[ -f "$program" ] || { echo "run.sh: no program $program" >&2; exit 2; }
[ ${#robots[@]} -eq 0 ] || [ -f "$robot_exe" ] || { echo "run.sh: no robot at $robot_exe" >&2; exit 2; }
for script in "${robots[@]}"; do
  [ -f "$script" ] || { echo "run.sh: no robot script $script" >&2; exit 2; }
done
if [ -n "$final_shot" ] && [ -z "$shots" ]; then
  echo "run.sh: --final-shot needs --shots" >&2
  exit 2
fi

# A Unix path as Wine's Z: drive sees it.
windows_path() {
  local p
  p=$(realpath -m "$1")
  printf 'Z:%s' "${p//\//\\}"
}

export WINEPREFIX=$prefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=$dll_overrides"

# Imports a registry file (UTF-8 here, UTF-16 for regedit) into the prefix.
import_registry() {
  iconv -f UTF-8 -t UTF-16 "$1" > "$WINEPREFIX/e2e-import.reg" &&
    DISPLAY= wine regedit /S "$(windows_path "$WINEPREFIX/e2e-import.reg")" > /dev/null 2>&1 &&
    wineserver -w
}

# The prefix is made once (wineboot and prefix.reg); the font settings follow
# the locale of the run, and are imported only when that changes.
prepare_prefix() {
  local stamp fonts
  stamp=$(cat "$here/prefix.reg" "$here/fonts-ja.reg" | cksum)
  fonts=default
  [[ $locale_name == ja_* ]] && fonts=ja
  [ "$(cat "$WINEPREFIX/.e2e-ready" 2> /dev/null)" = "$stamp $fonts" ] && return 0
  mkdir -p "$WINEPREFIX" || return 1
  exec 9> "$WINEPREFIX.lock"
  flock 9
  if [ "$(cat "$WINEPREFIX/.e2e-ready" 2> /dev/null)" != "$stamp $fonts" ]; then
    echo "run.sh: preparing the Wine prefix $WINEPREFIX ($fonts fonts)" >&2
    rm -f "$WINEPREFIX/.e2e-ready"
    [ -f "$WINEPREFIX/system.reg" ] || DISPLAY= wineboot -i > /dev/null 2>&1
    local settings="$WINEPREFIX/e2e-settings.reg"
    {
      cat "$here/prefix.reg"
      echo
      if [ $fonts = ja ]; then
        tail -n +2 "$here/fonts-ja.reg"
      else
        echo '[-HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]'
      fi
    } > "$settings"
    import_registry "$settings" && echo "$stamp $fonts" > "$WINEPREFIX/.e2e-ready"
  fi
  flock -u 9
  exec 9>&-
  [ "$(cat "$WINEPREFIX/.e2e-ready" 2> /dev/null)" = "$stamp $fonts" ]
}

xvfb_pid=
watcher_pid=
work=

# Starts Xvfb on the first free display from display_base on.
start_xvfb() {
  local n
  for ((n = display_base; n < display_base + 40; n++)); do
    [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
    Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp > /dev/null 2>&1 &
    xvfb_pid=$!
    local i
    for ((i = 0; i < 50; i++)); do
      if [ -e "/tmp/.X11-unix/X$n" ]; then
        export DISPLAY=":$n"
        return 0
      fi
      kill -0 "$xvfb_pid" 2> /dev/null || break
      sleep 0.1
    done
    kill "$xvfb_pid" 2> /dev/null
    wait "$xvfb_pid" 2> /dev/null
    xvfb_pid=
  done
  return 1
}

shoot() {
  import -display "$DISPLAY" -window root "$shots/$1.png" 2> /dev/null ||
    echo "run.sh: screenshot $1 failed" >&2
}

# Takes the screenshots the robots ask for (a NAME.request file) and removes
# each request when its picture is written.
watch_shot_requests() {
  local request
  while :; do
    for request in "$shots"/*.request; do
      [ -e "$request" ] || continue
      shoot "$(basename "$request" .request)"
      rm -f "$request"
    done
    sleep 0.1
  done
}

cleanup() {
  wineserver -k 2> /dev/null
  [ -n "$watcher_pid" ] && kill "$watcher_pid" 2> /dev/null && wait "$watcher_pid" 2> /dev/null
  if [ -n "$xvfb_pid" ]; then
    kill "$xvfb_pid" 2> /dev/null
    wait "$xvfb_pid" 2> /dev/null
  fi
  [ -z "$keep" ] && [ -n "$work" ] && rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

prepare_prefix || { echo "run.sh: cannot make the Wine prefix $WINEPREFIX" >&2; exit 2; }
start_xvfb || { echo "run.sh: no free X display from :$display_base on" >&2; exit 2; }
if [ -n "$keep" ]; then
  mkdir -p "$keep" && work=$(cd "$keep" && pwd) || exit 2
else
  work=$(mktemp -d)
fi
export LANG=$locale_name LC_ALL=$locale_name TZ=$tz
if [ -n "$shots" ]; then
  mkdir -p "$shots" && shots=$(cd "$shots" && pwd) || exit 2
  export ROBOT_SHOT_DIR
  ROBOT_SHOT_DIR=$(windows_path "$shots")
  watch_shot_requests &
  watcher_pid=$!
fi

( cd "$cwd" && exec wine "$program" "$@" ) > "$work/program.out" 2>&1 &
program_pid=$!
robot_pids=()
for i in "${!robots[@]}"; do
  wine "$robot_exe" -f "$(windows_path "${robots[i]}")" > "$work/robot$((i + 1)).out" 2>&1 &
  robot_pids+=($!)
done

# Wait for the program, then give the robots time to finish their scripts.
status=
deadline=$((SECONDS + timeout))
while kill -0 "$program_pid" 2> /dev/null; do
  if [ $SECONDS -ge $deadline ]; then
    status=timeout
    break
  fi
  sleep 0.1
done
if [ "$status" = timeout ]; then
  [ -n "$shots" ] && shoot timeout
else
  wait "$program_pid"
  status=$?
fi

# After a time-out the robots cannot finish either: they are ended at once.
robot_status=()
deadline=$((SECONDS + robot_grace))
[ "$status" = timeout ] && deadline=$SECONDS
for pid in "${robot_pids[@]}"; do
  while kill -0 "$pid" 2> /dev/null && [ $SECONDS -lt $deadline ]; do sleep 0.1; done
  if kill -0 "$pid" 2> /dev/null; then
    robot_status+=(timeout)
  else
    wait "$pid"
    robot_status+=($?)
  fi
done
[ -n "$final_shot" ] && shoot "$final_shot"
wineserver -k 2> /dev/null
[ "$status" = timeout ] && { kill "$program_pid" 2> /dev/null; wait "$program_pid" 2> /dev/null; }
for pid in "${robot_pids[@]}"; do kill "$pid" 2> /dev/null; wait "$pid" 2> /dev/null; done

# Report.
sed 's/^/program: /' "$work/program.out"
for i in "${!robots[@]}"; do
  tag=robot
  [ "$i" -gt 0 ] && tag="robot$((i + 1))"
  tr -d '\r' < "$work/robot$((i + 1)).out" | sed "s/^/$tag: /"
done
if [ "$status" = timeout ]; then
  echo "run: program timed out after $timeout s"
else
  echo "run: program exit $status"
fi
result=$status
[ "$status" = timeout ] && result=124
for i in "${!robot_status[@]}"; do
  echo "run: robot$([ "$i" -gt 0 ] && echo $((i + 1))) exit ${robot_status[i]}"
  [ "${robot_status[i]}" = 0 ] || { [ $result = 124 ] || result=125; }
done
exit "$result"
