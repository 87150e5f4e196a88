#!/bin/bash
# Faults under Wine: what the user sees, the exit code and what is left on
# disk when the archive is cut, the disk is full, entries cannot be
# created, a %temp% run fails or meets a folder of an earlier run, the
# package's path holds characters the code page lacks, or its block holds a
# text that looks like a header: faults_test.sh CASE [silent].  With
# "silent" the package runs with /S and a log: no window may appear (the
# robot reports any), the exit code is the same, and every box's text is in
# the log instead.
. "$(dirname "$0")/lib.sh"
need_tool ROBOT_EXE
need_tool SFX_EXE
need_tool MKSFX
need_tool LZHGEN

# lzhgen, quietly.
lzh() { "$LZHGEN" "$@" -q || fail "lzhgen $1 failed"; }

# A robot that answers every box of IMAGE and lists what it saw.
answering() {
  cat > "$work/answer.robot" <<ROBOT
timeout 60
on "VID-IDA" ok
on "Warning" ok
exit $1
ROBOT
}

silent=${2:-}

# run_case IMAGE SECONDS [run.sh options] PACKAGE: runs the package with the
# answering robot; silent, with /S and a log.
run_case() {
  local image=$1 limit=$2
  shift 2
  answering "$image"
  if [ -n "$silent" ]; then
    rm -f "$work/run-log.txt"
    run_bench -t "$limit" -r "$work/answer.robot" "$@" /S "/L:$(windows_path "$work/run-log.txt")"
    expect_no_text 'robot: seen'
    [ -f "$work/run-log.txt" ] || fail "no log"
  else
    run_bench -t "$limit" -r "$work/answer.robot" "$@"
  fi
}

# expect_box TEXT: a box of the module said TEXT (\n for a line break); in
# a silent run the log holds it on one line.
expect_box() {
  if [ -n "$silent" ]; then
    local line="message: ${1//\\n/ }"
    tr -d '\r' < "$work/run-log.txt" | grep -qxF -- "$line" || fail "log has no line: $line"
  else
    expect_line "robot: seen \"VID-IDA\" \"$1\""
  fi
}

# How many boxes the module showed (silent: logged).
box_count() {
  if [ -n "$silent" ]; then grep -c '^message: ' "$work/run-log.txt"; else grep -c 'robot: seen "VID-IDA"' "$work/run.log"; fi
}

# The offset of the first header in a package, as mksfx printed it.
first_header() { sed -n 's/.*first header at \([0-9]*\).*/\1/p' "$work/mksfx.log"; }

case ${1:-} in
cut)
  # A download cut inside the third header: the first two entries, one box
  # for the damaged archive, exit code ERROR_INVALID_DATA (13).
  new_work faults-cut
  lzh "$work/a.lzh" --manifest "$work/a.tsv" --gen one.txt=text:1k --gen two.txt=text:1k --gen three.txt=text:1k
  "$MKSFX" -o "$work/pkg.exe" --module "$SFX_EXE" --dest "$(windows_path "$work/out")" \
    --no-confirm --skip-dialog --no-open-folder "$work/a.lzh" > "$work/mksfx.log" || fail "mksfx failed"
  third=$(awk -F'\t' '$1 == 2 { print $5 }' "$work/a.tsv")
  truncate -s $(($(first_header) + third + 10)) "$work/pkg.exe"
  run_case pkg.exe 60 "$work/pkg.exe"
  expect_status 13
  expect_box 'The archive is damaged or incomplete.'
  [ "$(ls "$work/out" | tr '\n' ' ')" = "one.txt two.txt " ] || fail "extracted: $(ls "$work/out")"
  ;;
many-create)
  # 200 entries whose names are taken by folders: one box names the first
  # and counts the others; ERROR_WRITE_FAULT (29).
  new_work faults-many-create
  args=()
  for i in $(seq -w 1 200); do
    args+=(--gen "f$i.txt=text:100")
    mkdir -p "$work/out/f$i.txt"
  done
  lzh "$work/a.lzh" "${args[@]}" --gen last.txt=text:100
  package "$work/pkg.exe" "$work/a.lzh" --dest "$(windows_path "$work/out")" --no-confirm --skip-dialog \
    --no-open-folder
  run_case pkg.exe 60 "$work/pkg.exe"
  expect_status 29
  expect_box 'f001.txt\n\nCannot create a file.\n\n199 more files were skipped.'
  [ "$(box_count)" = 1 ] || fail "more than one box"
  [ -f "$work/out/last.txt" ] || fail "the entry after them was not extracted"
  ;;
disk-full)
  # A 10 MiB entry into a 3 MiB file system: the box names the file, the
  # partial file goes, nothing later is written; ERROR_WRITE_FAULT (29).
  new_work faults-disk-full
  mkdir -p "$work/small"
  mount -t tmpfs -o size=3m tmpfs "$work/small" 2> /dev/null || skip "cannot mount a tmpfs here (needs root)"
  trap 'umount "$work/small"' EXIT
  lzh "$work/a.lzh" --gen first.txt=text:1k --gen big.bin=rand:10m --gen after.txt=text:1k
  package "$work/pkg.exe" "$work/a.lzh" --dest "$(windows_path "$work/small/out")" --no-confirm --skip-dialog \
    --no-open-folder
  run_case pkg.exe 60 "$work/pkg.exe"
  expect_status 29
  expect_box 'big.bin\n\nCannot write the file (disk full?).'
  [ "$(ls "$work/small/out" | tr '\n' ' ')" = "first.txt " ] || fail "left: $(ls "$work/small/out")"
  ;;
temp-failure | temp-stale)
  # temp-failure: a damaged entry in a %temp% package with a command: the
  # command is not started and the private folder goes.  temp-stale: a
  # folder of the same name left by an earlier run is not this run's: the
  # run takes a new one, and removes only that.
  need_tool SETUP_EXE
  new_work "faults-$1"
  options=()
  [ "$1" = temp-failure ] && options=(--bad-crc)
  lzh "$work/a.lzh" --name setup.exe "$SETUP_EXE" "${options[@]}" --gen data.txt=text:2k --gen more.txt=text:1k
  package "$work/pkg.exe" "$work/a.lzh" --dest '%temp%' --run 'setup.exe --stay 1' --remove-after-run \
    --no-confirm --skip-dialog
  temp=$E2E_PREFIX/drive_c/users/$(id -un)/Temp
  rm -rf "$temp"/~pkg.exe*
  if [ "$1" = temp-stale ]; then
    mkdir -p "$temp/~pkg.exe"
    echo "an earlier run's" > "$temp/~pkg.exe/data.txt"
  fi
  export SETUP_REPORT
  SETUP_REPORT=$(windows_path "$work/report.txt")
  run_case pkg.exe 90 "$work/pkg.exe"
  if [ "$1" = temp-failure ]; then
    expect_status 13
    expect_box 'data.txt\n\nCRC Error!'
    [ ! -e "$work/report.txt" ] || fail "setup.exe was started"
    [ ! -e "$temp/~pkg.exe" ] || fail "the private folder was left: $(ls -R "$temp/~pkg.exe")"
  else
    expect_status 0
    grep -q 'cwd .*~pkg.exe-2' "$work/report.txt" || fail "not run in a fresh folder: $(cat "$work/report.txt")"
    [ "$(cat "$temp/~pkg.exe/data.txt")" = "an earlier run's" ] || fail "the earlier run's folder was changed"
    [ ! -e "$temp/~pkg.exe-2" ] || fail "this run's folder was left"
    rm -rf "$temp/~pkg.exe"
  fi
  ;;
unicode-path)
  # A package named in Japanese on a Western system (code page 1252).
  new_work faults-unicode-path
  lzh "$work/a.lzh" --gen one.txt=text:1k
  package "$work/インストール.exe" "$work/a.lzh" --dest "$(windows_path "$work/out")" --no-confirm \
    --skip-dialog --no-open-folder
  run_case "インストール.exe" 60 --lang C.UTF-8 "$work/インストール.exe"
  expect_status 0
  [ "$(box_count)" = 0 ] || fail "a box was shown"
  [ -f "$work/out/one.txt" ] || fail "nothing extracted"
  ;;
block-lh)
  # A destination that holds "-lh7" in the block is no header: no box, no
  # click needed.
  new_work faults-block-lh
  lzh "$work/a.lzh" --gen one.txt=text:1k
  mkdir -p "$work/sfx-lh7"
  package "$work/pkg.exe" "$work/a.lzh" --dest "$(windows_path "$work/sfx-lh7")" --no-confirm --skip-dialog \
    --no-open-folder
  run_case pkg.exe 60 "$work/pkg.exe"
  expect_status 0
  [ -f "$work/sfx-lh7/one.txt" ] || fail "nothing extracted"
  ;;
*)
  echo "usage: $0 cut|many-create|disk-full|temp-failure|temp-stale|unicode-path|block-lh [silent]" >&2
  exit 2
  ;;
esac
echo "PASS: faults $1${silent:+ (silent)}"
