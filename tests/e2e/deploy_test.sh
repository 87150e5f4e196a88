#!/bin/bash
# Packages deployed without a person: the deployer's switches /S, /T:, /L:,
# /C, /A: and /? under Wine: deploy_test.sh CASE.  A robot answers and
# reports every box; in silent runs it must see none.
. "$(dirname "$0")/lib.sh"
need_tool ROBOT_EXE
need_tool SFX_EXE
need_tool MKSFX
need_tool LZHGEN
need_tool SETUP_EXE

lzh() { "$LZHGEN" "$@" -q || fail "lzhgen $1 failed"; }

# The archive: setup.exe and two data files.
make_archive() {
  lzh "$work/a.lzh" --name setup.exe "$SETUP_EXE" --gen data.txt=text:2k --gen sub/more.txt=text:1k "$@"
}

# run_case PACKAGE [SWITCHES]: runs the package with SWITCHES as they stand
# on its command line (through a batch file: Wine would quote an argument
# that holds blanks and quotation marks), the log going to $work/log.txt,
# setup.exe reporting to $work/report.txt and a robot answering and
# reporting every box.  The exit status is the package's (its low byte).
run_case() {
  local package=$1 switches=${2:-} cmd
  cat > "$work/answer.robot" <<ROBOT
timeout 60
on "VID-IDA" ok
on "Warning" ok
exit pkg.exe
ROBOT
  export SETUP_REPORT
  SETUP_REPORT=$(windows_path "$work/report.txt")
  rm -f "$work/report.txt" "$work/log.txt"
  printf '@"%s" %s /L:"%s"\r\n@exit %%errorlevel%%\r\n' "$(windows_path "$package")" "$switches" \
    "$(windows_path "$work/log.txt")" > "$work/run.bat"
  cmd=$E2E_PREFIX/drive_c/windows/system32/cmd.exe
  # The prefix is made by the first run.
  [ -f "$cmd" ] || "$e2e_dir/run.sh" --prefix "$E2E_PREFIX" -t 60 "$SETUP_EXE" > /dev/null 2>&1
  [ -f "$cmd" ] || fail "no cmd.exe in $E2E_PREFIX"
  run_bench -t 90 -r "$work/answer.robot" "$cmd" /c "$(windows_path "$work/run.bat")"
  [ -f "$work/log.txt" ] && sed 's/\r$//; s/^/log: /' "$work/log.txt"
  [ -f "$work/report.txt" ] && sed 's/\r$//; s/^/report: /' "$work/report.txt"
}

expect_no_box() { expect_no_text 'robot: seen'; }

expect_log() {
  tr -d '\r' < "$work/log.txt" | grep -qxF -- "$1" || fail "log has no line: $1"
}

expect_report() {
  tr -d '\r' < "$work/report.txt" 2> /dev/null | grep -qxF -- "$1" || fail "setup.exe did not report: $1"
}

out_win() { windows_path "$work/out"; }

case ${1:-} in
log)
  # Without /S: the log has the package, the settings, each entry with its
  # size and outcome, the command and its whole exit code, what was
  # removed and the run's exit code (3010 arrives in the shell as 194).
  new_work deploy-log
  make_archive
  package "$work/pkg.exe" "$work/a.lzh" --dest "$(out_win)" --no-confirm --skip-dialog \
    --run 'setup.exe --exit 3010' --remove-after-run
  run_case "$work/pkg.exe"
  expect_status 194
  expect_no_box
  head -c 3 "$work/log.txt" | cmp -s - <(printf '\xef\xbb\xbf') || fail "no byte-order mark"
  expect_log "package: $(windows_path "$work/pkg.exe")"
  expect_log "command: setup.exe --exit 3010"
  expect_log "destination: $(out_win), remove: 1, replace: 1, crc-32: 00000000"
  expect_log "$(out_win)\\data.txt: 2048 bytes, OK"
  expect_log "$(out_win)\\sub\\more.txt: 1024 bytes, OK"
  expect_log "start: $(out_win)\\setup.exe --exit 3010"
  expect_log "command's exit code: 3010"
  expect_log "removed: $(out_win)\\data.txt"
  expect_log "exit code: 3010"
  [ ! -e "$work/out/data.txt" ] || fail "not removed"
  ;;
silent)
  # /S answers everything: the question yes, the CRC-32 check without a
  # window, the missing destination is made, existing files are replaced,
  # no destination dialog, no progress window, no Explorer; /A: reaches
  # the installer, which is waited for.
  new_work deploy-silent
  make_archive --gen big.bin=rand:4m
  package "$work/pkg.exe" "$work/a.lzh" --dest "$(out_win)" --question "Install it?" --crc \
    --run 'setup.exe --create from-package'
  mkdir -p "$work/out"
  echo old > "$work/out/data.txt"
  rm -rf "$work/out"/sub
  run_case "$work/pkg.exe" '/S /A:"--create from-deployer --stay 2 --exit 1641"'
  expect_status $((1641 % 256))
  expect_no_box
  expect_report 'start --create from-package --create from-deployer --stay 2 --exit 1641'
  expect_report 'end stay'
  [ "$(wc -c < "$work/out/data.txt")" = 2048 ] || fail "data.txt was not replaced"
  [ -f "$work/out/sub/more.txt" ] || fail "sub/more.txt missing"
  expect_log "command's exit code: 1641"
  ;;
silent-crc)
  # A package whose archive was changed: with /S nothing is extracted and
  # the run ends with ERROR_CRC (23); the warning is in the log.
  new_work deploy-silent-crc
  make_archive
  package "$work/pkg.exe" "$work/a.lzh" --dest "$(out_win)" --crc --no-open-folder
  printf 'X' | dd of="$work/pkg.exe" bs=1 seek=$(($(stat -c %s "$work/pkg.exe") - 10)) conv=notrunc 2> /dev/null
  run_case "$work/pkg.exe" /S
  expect_status 23
  expect_no_box
  [ ! -e "$work/out" ] || fail "extracted: $(ls -R "$work/out")"
  grep -q '^message: CRC check error!' <(tr -d '\r' < "$work/log.txt") || fail "no warning in the log"
  ;;
target)
  # /T: in own-module mode replaces the package's destination; /C runs
  # nothing and removes nothing.
  new_work deploy-target
  make_archive
  package "$work/pkg.exe" "$work/a.lzh" --dest "$(windows_path "$work/block")" --no-confirm --skip-dialog \
    --run setup.exe --remove-after-run
  run_case "$work/pkg.exe" "/S /C /T:\"$(windows_path "$work/my target")\""
  expect_status 0
  expect_no_box
  [ -f "$work/my target/data.txt" ] && [ -f "$work/my target/setup.exe" ] || fail "not extracted into /T:'s folder"
  [ ! -e "$work/block" ] || fail "the package's destination was used"
  [ ! -e "$work/report.txt" ] || fail "setup.exe ran"
  expect_log "command: "
  ;;
too-long)
  # Arguments that would make the command line (destination, command and
  # arguments) too long fail the run with ERROR_FILENAME_EXCED_RANGE (206)
  # and start nothing; nothing is cut.
  new_work deploy-too-long
  make_archive
  long=$work/$(printf 'd%.0s' $(seq 1 150))
  package "$work/pkg.exe" "$work/a.lzh" --dest "$(windows_path "$long")" --no-confirm --skip-dialog --run setup.exe
  run_case "$work/pkg.exe" "/S /A:$(printf 'x%.0s' $(seq 1 300))"
  expect_status 206
  expect_no_box
  [ ! -e "$work/report.txt" ] || fail "setup.exe ran"
  [ -f "$long/setup.exe" ] || fail "not extracted"
  expect_log "message: The command line is too long."
  ;;
help)
  # /? lists the switches in a box and runs nothing; with /S it shows
  # nothing.  Both end with 0.
  new_work deploy-help
  make_archive
  package "$work/pkg.exe" "$work/a.lzh" --dest "$(out_win)" --no-confirm --skip-dialog --run setup.exe
  run_case "$work/pkg.exe" '/?'
  expect_status 0
  grep -q 'robot: seen "VID-IDA" "/S.*/T:folder.*/A:args' "$work/run.log" || fail "no box of switches"
  [ ! -e "$work/out" ] || fail "extracted"
  run_case "$work/pkg.exe" '/? /S'
  expect_status 0
  expect_no_box
  ;;
*)
  echo "usage: $0 log|silent|silent-crc|target|too-long|help" >&2
  exit 2
  ;;
esac
echo "PASS: deploy $1"
