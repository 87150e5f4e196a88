#!/bin/bash
# The self-extracting module under the bench: sfx_test.sh CASE
#   english    question, destination dialog, folder question; every entry is
#              extracted with its content and time stamp
#   japanese   the same under a Japanese user interface, with a Shift-JIS
#              question and a Shift-JIS entry name
#   crc        a package with one byte appended after the archive shows the
#              CRC-32 warning and, having no command, still extracts
#   explorer   without dialog and questions, and with the default
#              open-folder setting: Explorer opens on the destination
#   crc-right  a package whose CRC-32 matches: no message, the files, and
#              its command (setup.exe) started
#   crc-command  one byte appended to a package with a command: the warning,
#              then nothing extracted and nothing started
. "$(dirname "$0")/lib.sh"
need_tool ROBOT_EXE
need_tool SFX_EXE
need_tool MKSFX
need_tool LZHGEN
scripts=$e2e_dir/scripts

# An archive of several methods and header levels, with its manifest.
make_archive() {
  "$LZHGEN" "$work/bench.lzh" -q --manifest "$work/bench.tsv" \
    --level 2 --mtime 2021-03-04T05:06:08 --gen alpha.txt=text:3k --gen sub/rand.bin=rand:150k \
    --level 1 --method lh7 --mtime 2019-12-31T23:59:58 --gen sub/deeper/old.txt=text:100 \
    --level 0 --method lh0 --gen stored.bin=seq:2k "$@" || fail "lzhgen failed"
}

case ${1:-} in
english)
  new_work sfx-english
  make_archive
  package "$work/pkg.exe" "$work/bench.lzh" \
    --dest "$(windows_path "$work/out")" --no-open-folder --crc --title "Bench Setup" --question "Install the bench files?"
  run_bench -t 90 --shots "$E2E_SHOTS/sfx" -r "$scripts/sfx_en.robot" "$work/pkg.exe"
  expect_status 0
  expect_line 'robot: seen "Bench Setup" "Install the bench files?"'
  expect_line "robot: seen \"VID-IDA\" \"The Folder '$(windows_path "$work/out")\\' does not exist.\\nDo you want to create it?\""
  expect_line 'run: robot exit 0'
  expect_extracted "$work/bench.tsv" "$work/out"
  ;;
japanese)
  new_work sfx-japanese
  # 表示.txt in Shift-JIS: 0x5C is the second byte of 表.
  make_archive --level 1 --name-hex 955c8ea62e747874 --gen x=text:500
  package "$work/pkg.exe" "$work/bench.lzh" \
    --dest "$(windows_path "$work/out")" --no-open-folder --title "Bench Setup" --question '展開しますか？'
  run_bench --ja -t 90 --shots "$E2E_SHOTS/sfx" -r "$scripts/sfx_ja.robot" "$work/pkg.exe"
  expect_status 0
  expect_line 'robot: seen "Bench Setup" "展開しますか？"'
  expect_line "robot: seen \"VID-IDA\" \"'$(windows_path "$work/out")\\'\\n\\n展開先フォルダは存在しません。\\nフォルダを作成しますか？\""
  expect_line 'run: robot exit 0'
  expect_extracted "$work/bench.tsv" "$work/out" CP932
  ;;
crc)
  new_work sfx-crc
  make_archive
  package "$work/pkg.exe" "$work/bench.lzh" \
    --dest "$(windows_path "$work/out")" --no-open-folder --crc --no-confirm --skip-dialog
  printf 'x' >> "$work/pkg.exe"
  run_bench -t 90 -r "$scripts/sfx_crc.robot" "$work/pkg.exe"
  expect_status 23  # ERROR_CRC, though the files were extracted
  expect_line 'robot: seen "Warning" "CRC check error!"'
  expect_line 'robot: answer "Warning" 1 "OK"'
  expect_extracted "$work/bench.tsv" "$work/out"
  ;;
explorer)
  new_work sfx-explorer
  make_archive
  package "$work/pkg.exe" "$work/bench.lzh" --dest "$(windows_path "$work/out")" --no-confirm --skip-dialog
  run_bench -t 90 -r "$scripts/sfx_explorer.robot" "$work/pkg.exe"
  expect_status 0
  expect_line 'robot: top "out" ExplorerWClass'
  expect_extracted "$work/bench.tsv" "$work/out"
  ;;
planted-dll)
  # Libraries of system names planted beside the package do not run: the
  # module imports no runtime library and loads the rest from the system
  # folder only.  The override makes Wine take a native file found on the
  # search path first, as Windows does for a library that is not one of its
  # KnownDLLs.  (Wine's own libraries load uxtheme, winmm, version and
  # msimg32 through the program's folder whatever it does; they are left
  # out.)
  need_tool PLANTED_DLL
  new_work sfx-planted-dll
  make_archive
  package "$work/pkg.exe" "$work/bench.lzh" \
    --dest "$(windows_path "$work/out")" --no-open-folder --no-confirm --skip-dialog
  overrides=()
  for name in crtdll msvfw32 msacm32; do
    cp "$PLANTED_DLL" "$work/$name.dll"
    overrides+=(--dll-override "$name=n,b")
  done
  run_bench -t 90 "${overrides[@]}" --cwd "$work" "$work/pkg.exe"
  expect_status 0
  planted=$(cd "$work" && ls ./*.ran 2> /dev/null)
  [ -z "$planted" ] || fail "planted libraries ran: $planted"
  expect_extracted "$work/bench.tsv" "$work/out"
  ;;
planted-explorer)
  # The destination opens in the Windows folder's Explorer, not in an
  # explorer.exe beside the package.
  need_tool PLANTED_EXE
  new_work sfx-planted-explorer
  make_archive
  cp "$PLANTED_EXE" "$work/explorer.exe"
  package "$work/pkg.exe" "$work/bench.lzh" --dest "$(windows_path "$work/out")" --no-confirm --skip-dialog
  run_bench -t 90 --cwd "$work" -r "$scripts/sfx_explorer.robot" "$work/pkg.exe"
  expect_status 0
  expect_line 'robot: top "out" ExplorerWClass'
  [ ! -e "$work/explorer.exe.ran" ] || fail "the planted explorer.exe ran"
  ;;
signed | signed-damaged)
  # A --crc package signed after mksfx verifies and runs without the
  # warning: the check stops where the signature begins.  A byte changed in
  # the archive still gives the warning.
  command -v osslsigncode > /dev/null || skip "osslsigncode not available"
  new_work "sfx-$1"
  make_archive
  package "$work/unsigned.exe" "$work/bench.lzh" \
    --dest "$(windows_path "$work/out")" --no-open-folder --crc --no-confirm --skip-dialog
  openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=lzhsfx test" \
    -keyout "$work/key.pem" -out "$work/cert.pem" 2> /dev/null || fail "openssl failed"
  osslsigncode sign -certs "$work/cert.pem" -key "$work/key.pem" -n "lzhsfx test" \
    -in "$work/unsigned.exe" -out "$work/pkg.exe" > /dev/null || fail "osslsigncode sign failed"
  unsigned=$(stat -c %s "$work/unsigned.exe")
  [ "$(stat -c %s "$work/pkg.exe")" -gt "$unsigned" ] || fail "nothing was signed"
  osslsigncode verify -CAfile "$work/cert.pem" -in "$work/pkg.exe" > "$work/verify.log" 2>&1 ||
    { cat "$work/verify.log"; fail "the signed package does not verify"; }
  cat > "$work/signed.robot" <<'ROBOT'
timeout 30
on "Warning" ok
on "VID-IDA" ok
exit pkg.exe
ROBOT
  if [ "$1" = signed ]; then
    run_bench -t 90 -r "$work/signed.robot" "$work/pkg.exe"
    expect_status 0
    expect_no_text 'seen "Warning"'
    expect_no_text 'seen "VID-IDA"'
    expect_extracted "$work/bench.tsv" "$work/out"
  else
    # One byte of the last entry's data, before any padding.
    printf 'U' | dd of="$work/pkg.exe" bs=1 seek=$((unsigned - 100)) conv=notrunc 2> /dev/null
    run_bench -t 90 -r "$work/signed.robot" "$work/pkg.exe"
    expect_status 23  # ERROR_CRC
    expect_line 'robot: seen "Warning" "CRC check error!"'
  fi
  ;;
crc-right | crc-command)
  need_tool SETUP_EXE
  new_work "sfx-$1"
  make_archive --name setup.exe "$SETUP_EXE"
  package "$work/pkg.exe" "$work/bench.lzh" \
    --dest "$(windows_path "$work/out")" --crc --no-confirm --skip-dialog --run 'setup.exe --stay 1'
  [ "$1" = crc-command ] && printf 'x' >> "$work/pkg.exe"
  export SETUP_REPORT
  SETUP_REPORT=$(windows_path "$work/report.txt")
  run_bench -t 90 -r "$scripts/sfx_crc.robot" "$work/pkg.exe"
  expect_status $([ "$1" = crc-right ] && echo 0 || echo 23)  # ERROR_CRC
  if [ "$1" = crc-right ]; then
    expect_no_text 'seen "Warning"'
    expect_extracted "$work/bench.tsv" "$work/out"
    grep -q '^start --stay 1' "$work/report.txt" || fail "setup.exe was not started"
  else
    expect_line 'robot: seen "Warning" "CRC check error!"'
    [ ! -e "$work/out" ] || fail "extracted although the check failed"
    [ ! -e "$work/report.txt" ] || fail "setup.exe was started"
  fi
  ;;
*)
  echo "usage: $0 english|japanese|crc|explorer|crc-right|crc-command|planted-dll|planted-explorer|signed|signed-damaged" >&2
  exit 2
  ;;
esac
echo "PASS: sfx $1"
