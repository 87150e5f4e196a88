#!/bin/bash
# The bench proves itself on testapp: testapp_test.sh CASE
#   dialog      the robot types, ticks, clicks, answers a nested box and a
#               last box by a standing rule; the program's result file and
#               the transcript show every step took effect
#   japanese    the same with Japanese titles and texts, and screenshots
#   failure     a failing robot step makes the run fail (125)
#   timeout     a program that does not end is ended (124), nothing is left
. "$(dirname "$0")/lib.sh"
need_tool ROBOT_EXE
need_tool TESTAPP_EXE
scripts=$e2e_dir/scripts

case ${1:-} in
dialog)
  new_work testapp-dialog
  run_bench -t 60 -r "$scripts/testapp.robot" "$TESTAPP_EXE" "$(windows_path "$work/result.txt")"
  expect_status 0
  expect_line 'robot: control 102 Button "&Remember" unchecked'
  expect_line 'robot: seen "Bench Question" "Proceed with the test?"'
  expect_line 'robot: answer "Bench Question" 6 "&Yes"'
  expect_line 'robot: seen "Bench Done" "Saved."'
  expect_line 'robot: answer "Bench Done" 1 "OK"'
  expect_line 'run: program exit 0'
  expect_line 'run: robot exit 0'
  printf 'name=Robot was here\nremember=1\nanswer=yes\n' | cmp - "$work/result.txt" ||
    fail "result: $(cat "$work/result.txt")"
  ;;
japanese)
  new_work testapp-japanese
  shots=$E2E_SHOTS/testapp
  rm -f "$shots"/testapp_ja_*.png
  run_bench --ja --shots "$shots" -t 60 -r "$scripts/testapp_ja.robot" \
    "$TESTAPP_EXE" --ja "$(windows_path "$work/result.txt")"
  expect_status 0
  expect_line 'robot: seen "ベンチの質問" "試験を続けますか？"'
  expect_line 'robot: answer "ベンチの質問" 7 "いいえ(&N)"'
  expect_line 'robot: seen "ベンチ完了" "保存しました。"'
  printf 'name=日本語の名前\nremember=0\nanswer=no\n' | cmp - "$work/result.txt" ||
    fail "result: $(cat "$work/result.txt")"
  for shot in testapp_ja_dialog testapp_ja_question; do
    [ "$(identify -format '%m %wx%h' "$shots/$shot.png" 2> /dev/null)" = "PNG 1024x768" ] ||
      fail "no screenshot $shot.png"
  done
  ;;
failure)
  # The robot cancels the dialog (exit 3), then waits in vain.
  new_work testapp-failure
  printf '%s\n' 'timeout 20' 'wait "Bench Test"' 'click 2' 'timeout 2' 'wait "No Such Window"' \
    > "$work/fail.robot"
  run_bench -t 60 -r "$work/fail.robot" "$TESTAPP_EXE" "$(windows_path "$work/result.txt")"
  expect_status 125
  expect_line 'robot: fail wait "No Such Window": no such window'
  expect_line 'run: program exit 3'
  expect_line 'run: robot exit 1'
  [ ! -e "$work/result.txt" ] || fail "Cancel wrote a result"
  ;;
timeout)
  # Nobody answers the dialog; the run ends it after 5 s, with a screenshot.
  new_work testapp-timeout
  run_bench -t 5 --shots "$work/shots" "$TESTAPP_EXE" "$(windows_path "$work/result.txt")"
  expect_status 124
  expect_line 'run: program timed out after 5 s'
  [ -f "$work/shots/timeout.png" ] || fail "no time-out screenshot"
  ! WINEPREFIX=$E2E_PREFIX wineserver -k 2> /dev/null ||
    fail "a Wine server of the prefix was still running"
  ;;
*)
  echo "usage: $0 dialog|japanese|failure|timeout" >&2
  exit 2
  ;;
esac
echo "PASS: testapp $1"
