#!/bin/bash
# Packages made with mksfx from lzhgen archives, run under the bench in
# English and Japanese: package_test.sh CASE (see usage at the end).
. "$(dirname "$0")/lib.sh"
need_tool ROBOT_EXE
need_tool SFX_EXE
need_tool MKSFX
need_tool LZHGEN
command -v python3 > /dev/null || skip "python3 not available"

shots=$E2E_SHOTS/package
check_tree=$e2e_dir/check_tree.py

# lzhgen, quietly.
lzh() {
  "$LZHGEN" "$@" -q || fail "lzhgen $1 failed"
}


# robot NAME: the script read from standard input becomes $work/NAME.robot.
robot() {
  cat > "$work/$1.robot"
}

# bench NAME [run.sh options] PROGRAM [ARGS]: one run; its report stays in
# $work/NAME.log, and expect_line and the like read it.
bench() {
  local name=$1
  shift
  echo "== $name"
  run_bench --shots "$shots" "$@"
  cp "$work/run.log" "$work/$name.log"
}

# The report has no message box of this caption (the progress window and
# the dialogs are dialog-class windows too, so only a caption is checked).
expect_no_box() {
  ! grep -qF "robot: seen \"$1\"" "$work/run.log" || fail "unexpected box: $(grep -F "robot: seen \"$1\"" "$work/run.log" | head -1)"
}

# The run did not get as far as the progress window (its caption may still
# be empty when the robot first sees it: its text is what counts).
expect_no_progress() {
  ! grep -q "^robot: seen \"[^\"]*\" \"$progress_text" "$work/run.log" || fail "the extraction started"
}

# expect_boxes CAPTION TEXT...: the boxes of this caption that the run
# showed, in order, had exactly these texts (as the transcript writes them:
# a line break is \n).
expect_boxes() {
  local caption=$1 want got
  shift
  want=$(for text; do printf 'robot: seen "%s" "%s"\n' "$caption" "$text"; done)
  got=$(grep -F "robot: seen \"$caption\" " "$work/run.log")
  [ "$got" = "$want" ] || fail "boxes \"$caption\" seen:
$got
expected:
$want"
}

check() {
  python3 "$check_tree" "$@" || fail "extracted files differ from the manifest"
}

# expect_contained MANIFEST ROOT: since $work/before, the run wrote nothing in
# $work/p outside ROOT, and no entry's content landed in a folder above ROOT,
# in /tmp or on the prefix's drive C:.
expect_contained() {
  local manifest=$1 root=$2 outside=() dir
  local stray
  stray=$(find "$work/p" -newer "$work/before" ! -type d ! -path "$root/*")
  [ -z "$stray" ] || fail "written outside $root: $stray"
  dir=$(dirname "$root")
  while [ "$dir" != / ]; do
    outside+=(--outside "$dir")
    dir=$(dirname "$dir")
  done
  python3 "$check_tree" "$manifest" "$root" --since "$work/before" \
    "${outside[@]}" --outside /tmp --outside "$E2E_PREFIX/drive_c" > /dev/null ||
    fail "an entry was written outside $root"
}

# Test data: a 256-byte count first (jlha's own -lh2- encoder differs from
# other archivers on matches in the first 64 bytes), then a slice of text,
# runs and random bytes that make every kind of code.  data_file OUT SIZE N
# takes the Nth slice of one pool, made once per case.
data_file() {
  local out=$1 size=$2 n=$3
  if [ ! -f "$work/pool.bin" ]; then
    "$LZHGEN" --write-gen seq:256 "$work/pool.head" > /dev/null &&
      "$LZHGEN" --write-gen mix:4m "$work/pool.bin" --seed 7 > /dev/null || fail "lzhgen --write-gen failed"
  fi
  { cat "$work/pool.head" && tail -c +$((n * 37 * 1024 + 1)) "$work/pool.bin" | head -c "$size"; } > "$out"
}

# language en|ja: the bench option and the module's texts for the run.
language() {
  if [ "$1" = ja ]; then
    bench_lang=(--ja)
    progress_title="進捗状況"
    progress_text="展開中..."
    replace_title="ファイル上書きの確認"
    invalid_name="不正なファイル名の展開をスキップします。"
    more_skipped="ほかに %u 個をスキップしました。"
    archive_damaged="書庫が壊れているか、途中で切れています。"
  else
    bench_lang=()
    progress_title="Decompressing..."
    progress_text="Please wait..."
    replace_title="Confirm File Replace"
    invalid_name="invalid filename.(skipped)"
    more_skipped="%u more files were skipped."
    archive_damaged="The archive is damaged or incomplete."
  fi
}

# first_of COUNT TEXT: a box of several entries of one cause: the first
# entry's text, then how many more.
first_of() {
  if [ "$1" -gt 1 ]; then
    # shellcheck disable=SC2059
    printf '%s\\n\\n%s' "$2" "$(printf "$more_skipped" $(($1 - 1)))"
  else
    printf '%s' "$2"
  fi
}
language en

methods=(lh0 lh1 lh2 lh3 lh4 lh5 lh6 lh7 lzs lz5 lz4)

case_content() {
  new_work package-content
  mkdir -p "$work/src"
  local args=() level method size seed=1
  for level in 0 1 2; do
    case $level in
      0) args+=(--level 0 --mtime 1999-07-04T13:14:16) ;;
      1) args+=(--level 1 --mtime 2019-12-31T23:59:58) ;;
      2) args+=(--level 2 --mtime 2024-02-29T23:30:10) ;;
    esac
    for method in "${methods[@]}"; do
      size=24576
      # Entries beyond the largest window (64 KiB) at level 2.
      [ $level = 2 ] && [[ $method == lh[4-7] ]] && size=204800
      data_file "$work/src/$level-$method" $size $((seed++))
      case $level-$method in
        0-lh5) args+=(--attr 0x21) ;;               # read-only
        1-lh6) args+=(--attr 0x22) ;;               # hidden
        1-lh4) args+=(--attr-mode base --attr 0x21) ;;  # in the base header only
        1-lz5) args+=(--attr-mode ext --attr 0x27) ;;   # read-only, hidden, system
        2-lh7) args+=(--attr 0x23) ;;               # read-only and hidden
        *) args+=(--no-attr) ;;
      esac
      args+=(--method "$method" --name "L$level/$method.bin" "$work/src/$level-$method")
    done
  done
  args+=(--no-attr --level 1 --method lh5 --gen L1/empty.txt=zero:0)
  # Folders: an empty one per level, a hidden one, and one stored after its
  # files, whose time stamp stays as stored.
  args+=(--level 0 --dir-attr 0x10 --dir L0/emptydir --level 1 --dir-attr 0x12 --dir L1/hiddendir)
  args+=(--level 2 --dir-attr 0x10 --method lh6 --gen L2/sub/inner.txt=text:5k --dir L2/sub --dir L2/emptydir)
  lzh "$work/content.lzh" --manifest "$work/content.tsv" "${args[@]}"
  package "$work/pkg.exe" "$work/content.lzh" --dest "$(windows_path "$work/out")" \
    --no-confirm --skip-dialog --no-open-folder
  # The robot only reports (and answers) boxes: the progress window of a
  # short run may come and go between two looks.
  robot content <<'EOF'
timeout 60
on "VID-IDA" ok
idle 1
exit pkg.exe
EOF
  # A time zone far from UTC, so that a time taken as UTC instead of local
  # time (or the other way round) shows.
  bench content --tz Asia/Tokyo -t 90 -r "$work/content.robot" "$work/pkg.exe"
  expect_status 0
  expect_no_box VID-IDA
  check "$work/content.tsv" "$work/out" --tz Asia/Tokyo --exact
}

# Entry names through the module.  Each name is stored as it stands (no
# splitting at '/'); the lists are "LEVEL<TAB>NAME<TAB>RESULT", RESULT being
# the path the entry must get below the destination, or "warn" for a name
# the module refuses with the invalid-name warning.
names_en() {
  cat <<'EOF'
0	\lead.txt	lead.txt
0	a/b/slash.txt	a/b/slash.txt
2	c/d/slash2.txt	c/d/slash2.txt
0	..\..\up.txt	up.txt
1	../../up2.txt	up2.txt
0	\..\..\esc.txt	esc.txt
0	\../../esc2.txt	esc2.txt
2	..\..\..\..\..\..\..\..\..\..\tmp\esc3.txt	tmp/esc3.txt
0	sub\..\..\..\deep.txt	sub/deep.txt
0	a..\b.txt	ab.txt
0	.\dot.txt	dot.txt
0	trail.txt   	trail.txt
0	..	warn
0	C:\abs.txt	warn
0	\\server\share\unc.txt	server/share/unc.txt
0	semi;colon.txt	warn
0	what?.txt	warn
0	star*.txt	warn
0	pipe|.txt	warn
0	quote".txt	warn
0	lt<.txt	warn
0	gt>.txt	warn
0	   	warn
0	nul	warn
EOF
}

# Shift-JIS names (hex) whose characters end in the byte 0x5C (ソ 835C,
# 表 955C): that byte is no separator under code page 932.  "split" marks a
# name that lzhgen stores with a directory header.
names_ja() {
  cat <<'EOF'
0	835c837483675c955c8ea62e747874	ソフト/表示.txt
2	split:835c837483672f955c8ea6322e747874	ソフト/表示2.txt
1	5c955c8ea6332e747874	表示3.txt
0	955c2e2e5c782e747874	表x.txt
0	955c5c792e747874	表/y.txt
0	2e2e5c2e2e5c955c2e747874	表.txt
0	835c	ソ
0	835c3f2e747874	warn
EOF
}

case_names() {
  local lang=$1
  language $lang
  new_work package-names-$lang
  mkdir -p "$work/p/box"
  local args=(--method lh5) map=$work/names.map warnings=() i=0 level name result
  : > "$map"
  while IFS=$'\t' read -r level name result; do
    args+=(--level "$level")
    if [ $lang = ja ]; then
      if [[ $name == split:* ]]; then
        name=${name#split:}
      else
        args+=(--verbatim)
      fi
      args+=(--name-hex "$name")
      name=$(printf '%s' "$name" | xxd -r -p | iconv -f CP932 -t UTF-8)
    else
      args+=(--verbatim --name "$name")
    fi
    args+=(--gen "x$i=text:$((300 + i))")
    if [ "$result" = warn ]; then
      printf '%s\t-\n' $i >> "$map"
      # The warning names the entry without its trailing blanks.
      warnings+=("${name%"${name##*[! ]}"}\\n\\n$invalid_name")
    else
      printf '%s\t%s\n' $i "$result" >> "$map"
    fi
    i=$((i + 1))
  done < <(names_$lang)
  lzh "$work/names.lzh" --manifest "$work/names.tsv" "${args[@]}"
  package "$work/p/pkg.exe" "$work/names.lzh" --dest "$(windows_path "$work/p/box/out")" \
    --no-confirm --skip-dialog --no-open-folder
  # Every list has a refused name: the first warning shows the run is on.
  robot names <<EOF
timeout 60
wait "VID-IDA"
on "VID-IDA" ok
exit pkg.exe
EOF
  touch "$work/before"
  bench names "${bench_lang[@]}" -t 90 -r "$work/names.robot" "$work/p/pkg.exe"
  # Refused names are a damaged archive; one box names the first.
  expect_status 13
  expect_boxes VID-IDA "$(first_of ${#warnings[@]} "${warnings[0]}")"
  check "$work/names.tsv" "$work/p/box/out" --map "$map" --exact
  expect_contained "$work/names.tsv" "$work/p/box/out"
}

# expect_explorer yes|no: whether the last run's robot listed an Explorer
# window (its script ends with "windows").
expect_explorer() {
  if grep -q '^robot: top .* ExplorerWClass$' "$work/run.log"; then
    [ "$1" = yes ] || fail "an Explorer window was opened"
  else
    [ "$1" = no ] || fail "no Explorer window"
  fi
}

# The module run on a separate archive: sfx NAME [run.sh options] -- ARGS.
# It is started from a folder of its own, so that relative paths resolved
# against the working folder instead of the archive's would show.
sfx() {
  local name=$1 options=()
  shift
  while [ "$1" != -- ]; do
    options+=("$1")
    shift
  done
  shift
  mkdir -p "$work/cwd"
  bench "$name" --cwd "$work/cwd" "${options[@]}" "$SFX_EXE" "$@"
}

# Archive-path mode: the switches /H /O /N, the archive path before or after
# them, the quoted archive and destination, relative destinations resolved
# against the archive's folder, the destination dialog with the given
# destination and the folder question, Explorer without /N, /E: and /D.
case_cmdline() {
  need_tool TESTAPP_EXE
  new_work package-cmdline
  lzh "$work/arch.lzh" --manifest "$work/arch.tsv" --level 1 --method lh6 --mtime 2020-02-02T02:02:02 \
    --gen root.txt=text:3k --gen sub/inner.txt=rand:5k --dir emptydir
  local d
  for d in a/b c "q r/s" "d e"; do
    mkdir -p "$work/p/$d"
    cp "$work/arch.lzh" "$work/p/$d/arch.lzh"
  done
  robot explorer <<'EOF'
timeout 30
idle 3
windows
EOF

  # Switches first: the archive path follows the last one.  An existing file
  # is replaced without a question (/O), no dialog (/H), no Explorer (/N).
  echo "old" > "$work/p/a/b/root.txt"
  sfx switches -t 30 -r "$work/explorer.robot" -- /H /O /N "$(windows_path "$work/p/a/b/arch.lzh")"
  expect_status 0
  expect_no_box VID-IDA
  expect_explorer no
  check "$work/arch.tsv" "$work/p/a/b"

  # Switches last, in small letters: the path is what stands before them.
  echo "old" > "$work/p/c/root.txt"
  sfx trailing -t 30 -- "$(windows_path "$work/p/c/arch.lzh")" /h /o /n
  expect_status 0
  check "$work/arch.tsv" "$work/p/c"

  # Wine puts an argument with blanks between quotation marks: these runs
  # get "archive" "destination" on their command lines.  A missing
  # destination is created without a question (/O).
  local archive
  archive=$(windows_path "$work/p/q r/s/arch.lzh")
  sfx quoted -t 30 -- "$archive" /H /O /N "$(windows_path "$work/p/dest x")"
  expect_status 0
  check "$work/arch.tsv" "$work/p/dest x" --exact

  # Relative destinations start from the archive's folder, not the working one.
  sfx up -t 30 -- "$archive" /H /O /N "..\\up x"
  expect_status 0
  check "$work/arch.tsv" "$work/p/q r/up x" --exact
  sfx twice -t 30 -- "$archive" /H /O /N "..\\x\\..\\two x"
  expect_status 0
  check "$work/arch.tsv" "$work/p/two x" --exact
  sfx dot -t 30 -- "$archive" /H /O /N ".\\dot x   "
  expect_status 0
  check "$work/arch.tsv" "$work/p/q r/s/dot x" --exact
  [ -z "$(ls "$work/cwd")" ] || fail "written into the working folder: $(ls "$work/cwd")"

  # A quoted destination that is a plain file is not taken: the archive's
  # folder is used.
  echo "plain" > "$work/p/plain x"
  sfx plainfile -t 30 -- "$(windows_path "$work/p/d e/arch.lzh")" /H /O /N "$(windows_path "$work/p/plain x")"
  expect_status 0
  check "$work/arch.tsv" "$work/p/d e"
  [ "$(cat "$work/p/plain x")" = plain ] || fail "the plain file was changed"

  # Without /H and /O: dialog 102 shows the command line's destination, and
  # the folder question names it with its trailing backslash; Cancel there
  # ends the run without creating anything.
  local typed
  typed=$(windows_path "$work/p/typed x")
  robot question <<EOF
timeout 30
wait "Confirm Extracting"
expect 109 "$typed"
click 1
answer "VID-IDA" cancel
exit sfx.exe
EOF
  sfx question -t 30 -r "$work/question.robot" -- "$archive" /N "$typed"
  expect_status 199
  expect_boxes VID-IDA "The Folder '$typed\\' does not exist.\\nDo you want to create it?"
  expect_no_progress
  [ ! -e "$work/p/typed x" ] || fail "the folder was created after Cancel"

  # /E: with a quoted command and its argument, and /D: the command runs in
  # the destination, the module waits for it and then removes what it
  # extracted.  A batch file hands the module a command line with quotation
  # marks of its own (Wine would escape those of an argument).
  mkdir -p "$work/p/l"
  lzh "$work/p/l/launch.lzh" --level 2 --gen one.txt=text:1k --name testapp.exe "$TESTAPP_EXE"
  printf '@%s /H /O /N /E:"testapp.exe result" /D %s\r\n' "$(windows_path "$SFX_EXE")" \
    "$(windows_path "$work/p/l/launch.lzh")" > "$work/launch.bat"
  # The program is left open a moment, so that the module is waiting for it
  # (after a program that ended at once the module looks for installer
  # windows for 30 s).
  robot launch <<'EOF'
timeout 45
wait "Bench Test"
idle 2
click 1
answer "Bench Done" ok
exit sfx.exe
EOF
  bench launch --cwd "$work/cwd" -t 90 -r "$work/launch.robot" "$work/launch.bat"
  expect_status 0
  [ "$(sed -n 3p "$work/p/l/result" 2> /dev/null)" = answer=none ] || fail "the command did not write its result"
  [ "$(ls "$work/p/l" | tr '\n' ' ')" = "launch.lzh result " ] || fail "not removed after the command: $(ls "$work/p/l")"

  # Without /N the destination is opened in Explorer.
  robot opened <<'EOF'
timeout 30
wait "shown x"
windows
EOF
  sfx explorer -t 30 -r "$work/opened.robot" -- "$archive" /H /O "$(windows_path "$work/p/shown x")"
  expect_status 0
  expect_line 'robot: top "shown x" ExplorerWClass'
  check "$work/arch.tsv" "$work/p/shown x" --exact
}

# Own-module mode with the destination dialog (102): a refused destination
# brings the dialog back with the package's folder, typed text with forward
# slashes, the check box that appends the archive's name, Enter, Cancel and
# the close box; a refused destination without the dialog.
case_destination() {
  local lang=$1
  language $lang
  new_work package-destination-$lang
  lzh "$work/dest.lzh" --manifest "$work/dest.tsv" --level 2 --method lh5 \
    --gen one.txt=text:2k --gen two/three.txt=text:1k
  mkdir -p "$work/p"
  local folder
  folder=$(windows_path "$work/p")
  package "$work/p/pkg.exe" "$work/dest.lzh" --dest "$folder\\a?b" --no-open-folder
  local up=
  for _ in {1..30}; do up+='..\'; done
  if [ $lang = en ]; then
    robot destination <<EOF
timeout 30
wait "Confirm Extracting"
list
expect 109 "$folder\\a?b"
answer "Confirm Extracting" ok
wait "Confirm Extracting"
expect 109 "$folder\\"
settext 109 "${up}x"
answer "Confirm Extracting" ok
wait "Confirm Extracting"
expect 109 "$folder\\"
settext 109 "C:\\Program Files\\Demo"
check 118
expect 109 "C:\\Program Files\\Demo\\pkg\\"
shot package_en_destination
settext 109 "${folder//\\//}/typed"
uncheck 118
expect 109 "${folder//\\//}/typed\\"
check 118
key 109 enter
wait "VID-IDA"
shot package_en_folder_question
answer "VID-IDA" ok
exit pkg.exe
EOF
    bench destination -t 60 -r "$work/destination.robot" "$work/p/pkg.exe"
    expect_status 0
    expect_boxes "Confirm Extracting" \
      "Please type the location where you want to place the extracted files." \
      "Please type the location where you want to place the extracted files." \
      "Please type the location where you want to place the extracted files."
    expect_boxes VID-IDA "The Folder '$folder\\typed\\pkg\\' does not exist.\\nDo you want to create it?"
    check "$work/dest.tsv" "$work/p/typed/pkg" --exact

    # Cancel: nothing more is shown, nothing is written.  The block's
    # settings win over switches: /H does not suppress the dialog.
    robot cancel <<'EOF'
timeout 30
wait "Confirm Extracting"
click 2
exit pkg.exe
EOF
    rm -rf "$work/p/typed"
    bench cancel -t 30 -r "$work/cancel.robot" "$work/p/pkg.exe" /H /O /N
    expect_status 199
    expect_no_box VID-IDA
    expect_no_progress
    [ "$(ls "$work/p")" = pkg.exe ] || fail "written after Cancel: $(ls "$work/p")"

    # Without the dialog a refused destination gives way to the package's folder.
    mkdir -p "$work/q"
    package "$work/q/pkg.exe" "$work/dest.lzh" --dest "$(windows_path "$work/q")\\a|b" \
      --skip-dialog --no-confirm --no-open-folder
    bench skipped -t 30 "$work/q/pkg.exe"
    expect_status 0
    check "$work/dest.tsv" "$work/q"
  else
    robot destination <<EOF
timeout 30
wait "展開先の指定"
list
expect 118 "書庫名でフォルダを作成(&K)"
answer "展開先の指定" ok
wait "展開先の指定"
expect 109 "$folder\\"
settext 109 "sub"
check 118
expect 109 "sub\\pkg\\"
shot package_ja_destination
key 109 enter
wait "VID-IDA"
shot package_ja_folder_question
answer "VID-IDA" ok
exit pkg.exe
EOF
    bench destination --ja -t 60 -r "$work/destination.robot" "$work/p/pkg.exe"
    expect_status 0
    expect_boxes VID-IDA "'$folder\\sub\\pkg\\'\\n\\n展開先フォルダは存在しません。\\nフォルダを作成しますか？"
    check "$work/dest.tsv" "$work/p/sub/pkg" --exact

    # The close box cancels like the Cancel button.
    robot cancel <<'EOF'
timeout 30
wait "展開先の指定"
close
exit pkg.exe
EOF
    rm -rf "$work/p/sub"
    bench cancel --ja -t 30 -r "$work/cancel.robot" "$work/p/pkg.exe"
    expect_status 199
    expect_no_box VID-IDA
    expect_no_progress
    [ "$(ls "$work/p")" = pkg.exe ] || fail "written after the close box: $(ls "$work/p")"
  fi
}

# A string value of the prefix's user registry: reg_value SECTION NAME.
reg_value() {
  SECTION="[$1]" NAME="\"$2\"" awk '
    BEGIN { section = ENVIRON["SECTION"]; name = ENVIRON["NAME"] }
    index($0, "[") == 1 { inside = index($0, section) == 1 }
    inside && index($0, name "=\"") == 1 {
      value = substr($0, length(name) + 3)
      sub(/"$/, "", value)
      gsub(/\\\\/, "\\", value)
      print value
      exit
    }' "$E2E_PREFIX/user.reg"
}

# The Unix path of a C: path in the prefix.
prefix_path() {
  local p=${1#[Cc]:}
  printf '%s/drive_c%s' "$E2E_PREFIX" "${p//\\//}"
}

# Folder tokens at the start of the configured destination: each package
# shows the destination dialog with the expanded text; some are extracted
# there, the others cancelled.
case_tokens() {
  new_work package-tokens
  lzh "$work/tok.lzh" --manifest "$work/tok.tsv" --level 1 --gen token.txt=text:700
  mkdir -p "$work/p"
  local folders='Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders'
  local temp desktop documents
  temp=$(reg_value 'Environment' TMP)
  desktop=$(reg_value "$folders" Desktop)
  documents=$(reg_value "$folders" Personal)
  [ -n "$temp" ] && [ -n "$desktop" ] && [ -n "$documents" ] || fail "no folders in $E2E_PREFIX/user.reg"
  local tag=h6tok$$
  # TOKEN TEXT | DIALOG TEXT | ok (extract there, no folder question) or cancel
  local table="%WinDir%\\$tag|C:\\windows\\$tag|ok
%SystemDir%\\$tag|C:\\windows\\system32\\$tag|ok
%temp%\\$tag|$temp\\$tag|ok
%ProgramFiles%|C:\\Program Files*|cancel
%Desktop%\\$tag|$desktop\\$tag|cancel
%MyDocuments%\\$tag|$documents\\$tag|cancel
%temp%|$temp\\~pkg.exe|cancel
%Temp%\\$tag|\\$tag|ok
%Other%\\data|\\data|ok"
  local n=0 token text action options
  while IFS='|' read -r token text action; do
    n=$((n + 1))
    options=(--dest "$token" --no-confirm --no-open-folder)
    # With a command that removes its files, plain %temp% is a folder of the
    # package's own (it is cancelled before anything is started).
    [ "$token" = %temp% ] && options+=(--run never.exe --remove-after-run)
    package "$work/p/pkg.exe" "$work/tok.lzh" "${options[@]}"
    robot token$n <<EOF
timeout 30
wait "Confirm Extracting"
list
expect 109 "$text"
click $([ $action = ok ] && echo 1 || echo 2)
exit pkg.exe
EOF
    bench "token$n" -t 30 -r "$work/token$n.robot" "$work/p/pkg.exe"
    expect_status $([ $action = ok ] && echo 0 || echo 199)
    expect_no_box VID-IDA
    if [ $action = cancel ]; then
      expect_no_progress
      continue
    fi
    local dir
    case $text in
      \\*) dir=$work/p/${text#\\} ;;
      *) dir=$(prefix_path "$text") ;;
    esac
    # A 32-bit program's system32 is syswow64 on 64-bit Windows.
    [[ $token == %SystemDir%* ]] && [ ! -e "$dir" ] && dir=$(prefix_path "C:\\windows\\syswow64\\$tag")
    check "$work/tok.tsv" "$dir" --exact
    [[ $dir == "$E2E_PREFIX"/* ]] && rm -rf "$dir"
  done <<< "$table"
}

# Digits in groups of three: 1234567 -> 1,234,567.
thousands() {
  sed ':a; s/\B[0-9]\{3\}\>/,&/; ta' <<< "$1"
}

# date_line en|ja SIZE EPOCH: the size-and-date line of dialog 119 for a
# file of SIZE bytes last written at EPOCH, in the run's zone ($zone).
date_line() {
  local size
  size=$(thousands "$2")
  if [ "$1" = ja ]; then
    local weekdays=(日 月 火 水 木 金 土)
    printf '%s バイト\\n%s' "$size" \
      "$(TZ=$zone date -d "@$3" "+%Y年%m月%d日 ${weekdays[$(TZ=$zone date -d "@$3" +%w)]}曜日、%H:%M:%S")"
  else
    printf '%s Bytes\\nModified: %s' "$size" "$(TZ=$zone date -d "@$3" '+%m, %d, %Y,  %H:%M:%S')"
  fi
}

# A local time of the run's zone as Unix seconds.
local_epoch() {
  TZ=$zone date -d "$1" +%s
}

# existing PATH SIZE EPOCH [ro]: a file that is there before the run.
existing() {
  mkdir -p "$(dirname "$1")"
  head -c "$2" /dev/urandom > "$1"
  touch -d "@$3" "$1"
  [ "${4:-}" = ro ] && chmod a-w "$1"
  return 0
}

# expect_kept PATH: the file is as existing() left it (state taken by keep).
keep() {
  stat -c '%s %Y %a' "$1" > "$1.state-$$"
  sha256sum < "$1" >> "$1.state-$$"
  mv "$1.state-$$" "$work/state-$(basename "$1")"
}
expect_kept() {
  local now
  now=$( { stat -c '%s %Y %a' "$1"; sha256sum < "$1"; } )
  [ "$now" = "$(cat "$work/state-$(basename "$1")")" ] || fail "$1 was changed"
}

# Dialog 119 answered Yes, No, Yes to All, Newer, Cancel and by its close
# box, in a time zone far from UTC; its texts in English and Japanese, with
# the date lines of the existing file and of the entry.
case_replace() {
  local lang=$1
  language $lang
  zone=Asia/Tokyo
  new_work package-replace-$lang
  local entry_l1=2024-03-01T12:34:56 entry_l2=2024-02-29T23:30:10Z u1 u2
  u1=$(local_epoch "${entry_l1/T/ }")
  u2=$(date -u -d "${entry_l2/T/ }" +%s)
  local old
  old=$(local_epoch "2000-02-29 10:20:30")
  # Entries at level 1 (local MS-DOS time) and level 2 (UTC).
  lzh "$work/r.lzh" --manifest "$work/r.tsv" \
    --level 1 --mtime "$entry_l1" --gen r1.txt=text:2k --gen r2.txt=text:3k --gen r3.txt=text:4k \
    --attr 0x20 --gen r4.txt=text:5k --level 2 --mtime "${entry_l2%Z}" --gen r5.txt=text:6k --gen new.txt=text:7k
  lzh "$work/n.lzh" --manifest "$work/n.tsv" \
    --level 1 --mtime "$entry_l1" --gen n1.txt=text:2k --gen n2.txt=text:2k --gen n3.txt=text:2k \
    --gen n4.txt=text:2k --level 2 --mtime "${entry_l2%Z}" --gen n5.txt=text:2k --gen n6.txt=text:2k
  lzh "$work/c.lzh" --manifest "$work/c.tsv" --level 2 --mtime "${entry_l2%Z}" \
    --gen c0.txt=text:2k --gen c1.txt=text:2k --gen c2.txt=text:2k --gen c3.txt=text:2k
  mkdir -p "$work/p"
  local out
  out=$(windows_path "$work/p/out")
  package "$work/p/r.exe" "$work/r.lzh" --dest "$out" --skip-dialog --no-open-folder
  package "$work/p/n.exe" "$work/n.lzh" --dest "$out" --skip-dialog --no-open-folder
  package "$work/p/c.exe" "$work/c.lzh" --dest "$out" --skip-dialog

  if [ $lang = en ]; then
    # Yes, No, then Yes to All: no more questions, a read-only file too.
    existing "$work/p/out/r1.txt" 1234567 "$old"
    existing "$work/p/out/r2.txt" 100 "$old"
    existing "$work/p/out/r3.txt" 100 "$old"
    existing "$work/p/out/r4.txt" 100 "$old" ro
    existing "$work/p/out/r5.txt" 100 "$old"
    keep "$work/p/out/r2.txt"
    robot replace <<EOF
timeout 30
wait "$replace_title"
list
shot package_en_replace
answer "$replace_title" yes
wait "$replace_title"
expect 117 "'r2.txt'"
answer "$replace_title" no
wait "$replace_title"
expect 117 "'r3.txt'"
answer "$replace_title" 110
exit r.exe
EOF
    bench replace --tz $zone -t 60 -r "$work/replace.robot" "$work/p/r.exe"
    expect_status 0
    expect_line "robot: control 117 Static \"'r1.txt'\""
    expect_line "robot: control 113 Static \"$(date_line en 1234567 "$old")\""
    expect_line "robot: control 116 Static \"$(date_line en 2048 "$u1")\""
    expect_line 'robot: control 110 Button "Yes to &All"'
    expect_line 'robot: control 112 Button "Newe&r"'
    [ "$(grep -c "^robot: seen \"$replace_title\"" "$work/run.log")" = 3 ] || fail "not three questions"
    printf '1\t-\n' > "$work/r.map"  # r2.txt: kept
    check "$work/r.tsv" "$work/p/out" --tz $zone --map "$work/r.map"
    expect_kept "$work/p/out/r2.txt"

    # Newer: from then on only newer entries replace files, without asking.
    rm -rf "$work/p/out"
    existing "$work/p/out/n1.txt" 100 $((u1 - 86400))
    existing "$work/p/out/n2.txt" 100 $((u1 + 86400))   # newer than the entry
    existing "$work/p/out/n3.txt" 100 "$u1"             # the same time
    existing "$work/p/out/n4.txt" 100 $((u1 - 2))       # two seconds older
    existing "$work/p/out/n5.txt" 100 $((u2 - 3 * 3600))  # older than the UTC entry
    existing "$work/p/out/n6.txt" 100 $((u2 + 3 * 3600))  # newer than the UTC entry
    local f
    for f in n2 n3 n6; do keep "$work/p/out/$f.txt"; done
    robot newer <<EOF
timeout 30
wait "$replace_title"
expect 117 "'n1.txt'"
answer "$replace_title" 112
exit n.exe
EOF
    bench newer --tz $zone -t 60 -r "$work/newer.robot" "$work/p/n.exe"
    expect_status 0
    [ "$(grep -c "^robot: seen \"$replace_title\"" "$work/run.log")" = 1 ] || fail "asked again after Newer"
    printf '1\t-\n2\t-\n5\t-\n' > "$work/n.map"
    check "$work/n.tsv" "$work/p/out" --tz $zone --map "$work/n.map"
    for f in n2 n3 n6; do expect_kept "$work/p/out/$f.txt"; done

    # Cancel: the existing file stays as it was (read-only too), nothing more
    # is written, and the destination is not opened.
    rm -rf "$work/p/out"
    existing "$work/p/out/c1.txt" 100 "$old" ro
    existing "$work/p/out/c2.txt" 100 "$old"
    keep "$work/p/out/c1.txt"
    keep "$work/p/out/c2.txt"
    robot cancel <<EOF
timeout 30
wait "$replace_title"
answer "$replace_title" 115
exit c.exe
idle 3
windows
EOF
    bench cancel --tz $zone -t 60 -r "$work/cancel.robot" "$work/p/c.exe"
  else
    # The Japanese texts and date lines (with the weekday) of a level-2
    # entry, Yes; then the close box, which cancels the run.
    existing "$work/p/out/c1.txt" 1234567 "$old"
    existing "$work/p/out/c2.txt" 100 "$old" ro
    keep "$work/p/out/c2.txt"
    robot cancel <<EOF
timeout 30
wait "$replace_title"
list
shot package_ja_replace
answer "$replace_title" yes
wait "$replace_title"
expect 117 "展開先には既に 'c2.txt' のファイルが存在します。"
close
exit c.exe
idle 3
windows
EOF
    bench cancel --ja --tz $zone -t 60 -r "$work/cancel.robot" "$work/p/c.exe"
    expect_line "robot: control 117 Static \"展開先には既に 'c1.txt' のファイルが存在します。\""
    expect_line "robot: control 113 Static \"$(date_line ja 1234567 "$old")\""
    expect_line "robot: control 116 Static \"$(date_line ja 2048 "$u2")\""
    expect_line 'robot: control 112 Button "新しいもののみ(&U)"'
  fi
  expect_status 199
  [ "$(grep -c "^robot: seen \"$replace_title\"" "$work/run.log")" = $([ $lang = en ] && echo 1 || echo 2) ] ||
    fail "questions after the cancel"
  expect_explorer no
  if [ $lang = en ]; then
    printf '1\t-\n2\t-\n3\t-\n' > "$work/c.map"
    expect_kept "$work/p/out/c1.txt"
  else
    printf '2\t-\n3\t-\n' > "$work/c.map"
  fi
  check "$work/c.tsv" "$work/p/out" --tz $zone --map "$work/c.map"
  expect_kept "$work/p/out/c2.txt"
}

# The progress window (120): Cancel (English) and the close box (Japanese)
# while a large entry is written leave no partial file; the entries before it
# stay, nothing after it is written, the command is not started and the
# destination is not opened.
case_progress() {
  need_tool TESTAPP_EXE
  new_work package-progress
  mkdir -p "$work/p"
  # Random bytes decode slowly (about 15-20 MB/s of adaptive Huffman
  # literals), so the window, shown after a quarter of a second, stays for
  # seconds.  (Zeros decode at hundreds of MB/s.)
  lzh "$work/big.lzh" --manifest "$work/big.tsv" --level 2 --method lh5 --gen first.txt=text:3k \
    --name testapp.exe "$TESTAPP_EXE" --method lh1 --gen big.bin=rand:32m --method lh5 --gen after.txt=text:3k
  package "$work/p/pkg.exe" "$work/big.lzh" --dest "$(windows_path "$work/p/out")" --no-confirm \
    --skip-dialog --run "testapp.exe launched"
  printf '2\t-\n3\t-\n' > "$work/big.map"
  local lang
  for lang in en ja; do
    language $lang
    rm -rf "$work/p/out"
    robot progress-$lang <<EOF
timeout 30
wait "$progress_title"
until 114 "big.bin"
shot package_${lang}_progress
list
$([ $lang = en ] && echo "click 2" || echo close)
gone "$progress_title"
exit pkg.exe
idle 3
windows
EOF
    bench progress-$lang "${bench_lang[@]}" -t 60 -r "$work/progress-$lang.robot" "$work/p/pkg.exe"
    expect_status 199
    expect_line 'robot: control 114 Static "big.bin"'
    expect_no_box VID-IDA
    expect_explorer no
    expect_no_box "Bench Test"
    expect_no_text 'robot: top "Bench Test"'
    check "$work/big.tsv" "$work/p/out" --exact --map "$work/big.map"
  done
}

# The messages of the run driver and the worker, each in its own run:
# an own file the module cannot open (its path is longer than a Windows path
# may be; a file of the name cut short must not be taken instead), a file
# that holds no archive, the folder question and a destination that cannot
# be created, and during extraction a CRC error, a file that cannot be
# created, a bad header, and an entry folder that cannot be created.
case_messages() {
  local lang=$1
  language $lang
  new_work package-messages-$lang
  local bench_opts=("${bench_lang[@]}" -t 30)
  local texts
  if [ $lang = ja ]; then
    texts=("書庫を開けません。" "対応していない書庫形式です。" "展開先にファイルを作成できません。"
      "展開先フォルダを作成できません。")
  else
    texts=("Cannot open arhive." "not supported archive format." "Cannot create a file."
      "Cannot create a folder.\\nThis archive forbids writing.")
  fi
  # answers IMAGE [SHOT [windows]]: a robot that answers every box of the
  # run of IMAGE, taking a screenshot of the first; then it lists the
  # windows that are left.
  answers() {
    robot answer <<EOF
timeout 30
wait "VID-IDA"
$([ -n "${2:-}" ] && echo "shot package_${lang}_$2")
on "VID-IDA" ok
exit $1
$([ -n "${3:-}" ] && printf 'idle 3\nwindows')
EOF
  }
  lzh "$work/small.lzh" --manifest "$work/small.tsv" --gen first.txt=text:1k \
    --gen blocker/inner.txt=text:1k --gen last.txt=text:1k

  # A path too long for the module's own name.  The name cut at 259
  # characters names another package: that one must not be extracted.
  local deep=$work/p
  while [ ${#deep} -lt 240 ]; do deep+=/deeper-folder; done
  mkdir -p "$deep"
  local exe="$deep/package-with-a-long-name.exe" cut
  cut=$(windows_path "$exe")
  cut=${cut:0:259}
  [[ $cut == *[!.] ]] || cut=${cut%?}x  # a name cut after a dot would lose it
  package "$exe" "$work/small.lzh" --dest "$(windows_path "$work/out-long")" --skip-dialog --no-confirm
  package "$deep/${cut##*\\}" "$work/small.lzh" --dest "$(windows_path "$work/out-cut")" --skip-dialog --no-confirm
  answers package-with-a-long-name.exe
  bench long "${bench_opts[@]}" -r "$work/answer.robot" "$exe"
  expect_status 2
  expect_boxes VID-IDA "${texts[0]}"
  [ ! -e "$work/out-cut" ] || fail "the package of the name cut short was extracted"
  [ ! -e "$work/out-long" ] || fail "extracted"

  # A file that holds no archive.
  printf 'no archive here\n' > "$work/text.lzh"
  answers sfx.exe unsupported
  bench unsupported "${bench_opts[@]}" -r "$work/answer.robot" "$SFX_EXE" /H /O /N "$(windows_path "$work/text.lzh")"
  expect_status 13
  expect_boxes VID-IDA "${texts[1]}"

  # A destination below a plain file: the folder question, then the failure.
  : > "$work/plain"
  local dest
  dest=$(windows_path "$work/plain")\\sub
  mkdir -p "$work/q"
  package "$work/q/pkg.exe" "$work/small.lzh" --dest "$dest" --skip-dialog --no-open-folder
  answers pkg.exe folder_question
  bench folder "${bench_opts[@]}" -r "$work/answer.robot" "$work/q/pkg.exe"
  expect_status 82
  if [ $lang = ja ]; then
    expect_boxes VID-IDA "'$dest\\'\\n\\n展開先フォルダは存在しません。\\nフォルダを作成しますか？" "${texts[3]}"
  else
    expect_boxes VID-IDA "The Folder '$dest\\' does not exist.\\nDo you want to create it?" "${texts[3]}"
  fi
  expect_no_progress

  # During extraction: a wrong CRC-16 (the file is removed, the run goes
  # on), an entry named like an existing folder (the run goes on), then a
  # header with a wrong checksum, which ends the archive.  Each cause is
  # one box, naming its entry, when the extraction ends.
  lzh "$work/faults.lzh" --manifest "$work/faults.tsv" --level 1 --gen one.txt=text:1k \
    --bad-crc --gen crc.txt=text:2k --gen adir=text:1k --gen good.txt=text:1k \
    --bad-header-sum --gen header.txt=text:1k --gen never.txt=text:1k
  mkdir -p "$work/r/out/adir"
  package "$work/r/pkg.exe" "$work/faults.lzh" --dest "$(windows_path "$work/r/out")" \
    --skip-dialog --no-confirm --no-open-folder
  answers pkg.exe
  bench faults "${bench_opts[@]}" -r "$work/answer.robot" "$work/r/pkg.exe"
  expect_status 13
  expect_boxes VID-IDA "adir\\n\\n${texts[2]}" "crc.txt\\n\\nCRC Error!" "$archive_damaged\\n\\ninvalid header."
  printf '1\t-\n2\t-\n4\t-\n5\t-\n' > "$work/faults.map"
  check "$work/faults.tsv" "$work/r/out" --map "$work/faults.map"
  [ "$(ls "$work/r/out" | tr '\n' ' ')" = "adir good.txt one.txt " ] || fail "extracted: $(ls "$work/r/out")"
  [ -d "$work/r/out/adir" ] && [ -z "$(ls "$work/r/out/adir")" ] || fail "the folder adir was changed"

  # An entry's folder that cannot be made (a plain file has its name) ends
  # the run: nothing more is written, and the destination is not opened.
  mkdir -p "$work/s/out"
  : > "$work/s/out/blocker"
  package "$work/s/pkg.exe" "$work/small.lzh" --dest "$(windows_path "$work/s/out")" --skip-dialog --no-confirm
  answers pkg.exe "" windows
  bench entry-folder "${bench_opts[@]}" -r "$work/answer.robot" "$work/s/pkg.exe"
  expect_status 82
  expect_boxes VID-IDA "${texts[3]}"
  expect_explorer no
  printf '1\t-\n2\t-\n' > "$work/small.map"
  check "$work/small.tsv" "$work/s/out" --map "$work/small.map"
  [ "$(ls "$work/s/out")" = "blocker
first.txt" ] || fail "written after the failure: $(ls "$work/s/out")"
}

# The whole dispatch is read before it runs, so that an edit of this file
# during a run cannot change what the run does.
main() {
  case ${1:-} in
  content) case_content ;;
  names-en) case_names en ;;
  names-ja) case_names ja ;;
  cmdline) case_cmdline ;;
  destination-en) case_destination en ;;
  destination-ja) case_destination ja ;;
  tokens) case_tokens ;;
  replace-en) case_replace en ;;
  replace-ja) case_replace ja ;;
  progress) case_progress ;;
  messages-en) case_messages en ;;
  messages-ja) case_messages ja ;;
  *)
    cat >&2 <<'EOF'
usage: package_test.sh CASE
  content     every method and header level through the module: contents,
              time stamps (run in Asia/Tokyo), attributes, -lhd- folders
  names-en    stored names: leading backslash, slashes, parent references,
  names-ja    invalid characters (the invalid-name warning), Shift-JIS names
              with the byte 0x5C; nothing is written outside the destination
  cmdline     archive-path mode: /H /O /N before or after the archive, the
              quoted archive and destination, relative destinations, the
              destination dialog and folder question, Explorer without /N,
              /E: with a quoted command and /D
  destination-en, destination-ja
              dialog 102: refused destinations, typed text, the check box,
              Enter, Cancel and the close box; no dialog with a refused one
  tokens      folder tokens in the configured destination, as dialog 102
              shows them, and the files where they lead
  replace-en, replace-ja
              dialog 119: Yes, No, Yes to All, Newer (the newer-only rule for
              local and UTC entry times), Cancel and the close box; the texts
              and date lines (Japanese: with the weekday), run in Asia/Tokyo
  progress    dialog 120: Cancel (English) and the close box (Japanese)
              during a large entry: no partial file, nothing after it, no
              command started, no Explorer
  messages-en, messages-ja
              every message of the run driver and the worker: an own file
              that cannot be opened, no archive, the folder question, a
              destination that cannot be made, "CRC Error!", a file that
              cannot be created, "invalid header.", an entry folder that
              cannot be made (the run ends there)
EOF
    exit 2
    ;;
  esac
  echo "PASS: package $1"
}

main "$@"; exit
