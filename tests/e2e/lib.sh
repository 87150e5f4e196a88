# Shared by the end-to-end test scripts (sourced): where the tools are, a
# fresh work folder per test, running the bench and checking its report.
#
# The environment names the tools (ctest sets it; see CMakeLists.txt):
#   ROBOT_EXE TESTAPP_EXE SFX_EXE MKSFX LZHGEN  E2E_PREFIX E2E_WORK E2E_SHOTS
# and, optionally, E2E_DISPLAY: the first X display number run.sh tries.
set -uo pipefail

e2e_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
: "${E2E_PREFIX:=/tmp/lzhsfx-e2e-wine-$(id -u)}"
: "${E2E_WORK:=/tmp/lzhsfx-e2e-work-$(id -u)}"
: "${E2E_SHOTS:=$E2E_WORK/shots}"

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

# ctest counts exit status 77 as a skipped test.
skip() {
  echo "SKIP: $*"
  exit 77
}

need_tool() {
  [ -n "${!1:-}" ] && [ -x "${!1}" ] || skip "$1 not available (${!1:-unset})"
}

# A fresh folder for one test case: $work.
new_work() {
  work=$E2E_WORK/$1
  rm -rf "$work"
  mkdir -p "$work" || fail "cannot make $work"
}

# package OUT ARCHIVE [mksfx options]: a package of the module and the archive.
package() {
  local out=$1 archive=$2
  shift 2
  "$MKSFX" -o "$out" --module "$SFX_EXE" "$@" "$archive" > /dev/null || fail "mksfx $out failed"
}

# A Unix path as Wine's Z: drive sees it.
windows_path() {
  local p
  p=$(realpath -m "$1")
  printf 'Z:%s' "${p//\//\\}"
}

# Runs run.sh with the bench's prefix and robot; the report goes to
# $work/run.log (and to stdout for ctest's log), the exit status to $status.
run_bench() {
  "$e2e_dir/run.sh" --prefix "$E2E_PREFIX" --robot-exe "$ROBOT_EXE" ${E2E_DISPLAY:+--display "$E2E_DISPLAY"} \
    "$@" > "$work/run.log" 2>&1
  status=$?
  cat "$work/run.log"
}

# The program's exit status as Wine hands it on: the low byte of the
# Windows exit code (ERROR_CANCELLED, 1223, arrives as 199).
expect_status() {
  [ "$status" = "$1" ] || fail "run.sh returned $status, expected $1"
}

# The report holds this exact line.
expect_line() {
  grep -qxF -- "$1" "$work/run.log" || fail "no line: $1"
}

# The report holds no line with this text.
expect_no_text() {
  ! grep -qF -- "$1" "$work/run.log" || fail "unexpected: $(grep -F -- "$1" "$work/run.log" | head -1)"
}

# Every file entry of an lzhgen manifest exists below DIR with its content
# (sha256) and its modification time (the run's time zone is UTC).  NAME_CODE
# is the code page the stored names are in (the extracted names are UTF-8).
expect_extracted() {
  local manifest=$1 dir=$2 name_code=${3:-CP1252}
  local idx kind level method off len packed size crc attr raw mtime sha name rest
  local count=0
  while IFS=$'\t' read -r idx kind level method off len packed size crc attr raw mtime sha name rest; do
    [[ $idx == '#'* || $idx == idx || $kind != F ]] && continue
    local path
    path=$(printf '%b' "$name" | iconv -f "$name_code" -t UTF-8) || fail "bad name $name"
    [ -f "$dir/$path" ] || fail "not extracted: $path"
    [ "$(sha256sum < "$dir/$path" | cut -d' ' -f1)" = "$sha" ] || fail "content differs: $path"
    local want
    want=$(date -u -d "${mtime%%[Z(]*}Z" +%s)
    [ "$(stat -c %Y "$dir/$path")" = "$want" ] || fail "time of $path is $(stat -c %y "$dir/$path"), expected $mtime"
    count=$((count + 1))
  done < "$manifest"
  [ $count -gt 0 ] || fail "no file entries in $manifest"
  echo "checked $count extracted files"
}
