#!/bin/bash
# Packages made with mksfx from lzhgen archives, run under the bench in
# English and Japanese: package_test.sh CASE (see usage at the end).
. "$(dirname "$0")/lib.sh"
need_tool ROBOT_EXE
need_tool SFX_EXE
need_tool MKSFX
need_tool LZHGEN
command -v python3 > /dev/null || skip "python3 not available"

display=${E2E_DISPLAY:-80}
shots=$E2E_SHOTS/package
check_tree=$e2e_dir/check_tree.py

# lzhgen, quietly.
lzh() {
  "$LZHGEN" "$@" -q || fail "lzhgen $1 failed"
}

# package OUT ARCHIVE [mksfx options]: a package of the module and the archive.
package() {
  local out=$1 archive=$2
  shift 2
  "$MKSFX" -o "$out" --module "$SFX_EXE" "$@" "$archive" > /dev/null || fail "mksfx $out failed"
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
  run_bench --display "$display" "$@"
  cp "$work/run.log" "$work/$name.log"
}

# The report has no message box of this caption (the progress window and
# the dialogs are dialog-class windows too, so only a caption is checked).
expect_no_box() {
  ! grep -qF "robot: seen \"$1\"" "$work/run.log" || fail "unexpected box: $(grep -F "robot: seen \"$1\"" "$work/run.log" | head -1)"
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
    destination_title="展開先の指定"
    replace_title="ファイル上書きの確認"
    invalid_name="不正なファイル名の展開をスキップします。"
  else
    bench_lang=()
    progress_title="Decompressing..."
    destination_title="Confirm Extracting"
    replace_title="Confirm File Replace"
    invalid_name="invalid filename.(skipped)"
  fi
}

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
  robot content <<'EOF'
timeout 60
on "VID-IDA" ok
wait "Decompressing..."
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
  robot names <<EOF
timeout 60
on "VID-IDA" ok
wait "$progress_title"
exit pkg.exe
EOF
  touch "$work/before"
  bench names "${bench_lang[@]}" -t 90 -r "$work/names.robot" "$work/p/pkg.exe"
  expect_status 0
  expect_boxes VID-IDA "${warnings[@]}"
  check "$work/names.tsv" "$work/p/box/out" --map "$map" --exact
  expect_contained "$work/names.tsv" "$work/p/box/out"
}

case ${1:-} in
content) case_content ;;
names-en) case_names en ;;
names-ja) case_names ja ;;
*)
  cat >&2 <<'EOF'
usage: package_test.sh CASE
  content     every method and header level through the module: contents,
              time stamps (run in Asia/Tokyo), attributes, -lhd- folders
  names-en    stored names: leading backslash, slashes, parent references,
  names-ja    invalid characters (the invalid-name warning), Shift-JIS names
              with the byte 0x5C; nothing is written outside the destination
EOF
  exit 2
  ;;
esac
echo "PASS: package $1"
