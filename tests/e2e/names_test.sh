#!/bin/bash
# Entry names through the module under Wine: names_test.sh CASE
#   unicode-en, unicode-ja
#               a package mksfx made from a tree named in several scripts
#               (Japanese whose Shift-JIS form holds the byte 0x5C, accented
#               Greek, Cyrillic, Korean, Latin letters code page 932 lacks,
#               an emoji), files and folders, run under code page 1252 and
#               932: the destination holds exactly those names, with their
#               contents
#   codepage-en, codepage-ja
#               an archive whose names are Shift-JIS bytes alone (header
#               levels 0, 1 and 2; no UTF-16 names and no code page): under
#               932 the Japanese names; under 1252 the names that code page
#               reads in those bytes, each byte 0x5C a separator
#   long-path   entry paths of over 300 characters: with a command and
#               removal, extracted into %temp%, the command run, then every
#               file and the private folder removed; with /C and /T:, the
#               same package extracted and kept, every file in place
. "$(dirname "$0")/lib.sh"
need_tool ROBOT_EXE
need_tool SFX_EXE
need_tool MKSFX
need_tool LZHGEN
command -v python3 > /dev/null || skip "python3 not available"

# Files and folders (a trailing '/') named in many scripts.  ソ and 表 end
# in the byte 0x5C in Shift-JIS; ü.txt and 😀.txt both have the code-page
# name _.txt.
unicode_paths=(
  'フォルダ/表示.txt' 'フォルダ/ソフト/' 'ソフト.txt'
  'Ελληνικά/άλφα.txt' 'Ελληνικά/Ωμέγα/'
  'Русский/файл.txt'
  '한국어/파일.txt' '한국어/readme.txt'
  'café.txt' 'ü.txt'
  '😀.txt' '😀/note.txt'
)

# Japanese names whose bytes code page 1252 reads as characters of its own:
# no byte 1252 leaves undefined, no 0x5C at the end of a name.
codepage_paths=(
  'ソフト/表示.txt'
  'フォルダ/表示.txt' 'フォルダ/ソフト.txt' 'ソフト.txt'
  '表計算/ソフト/テスト.txt' '空ソフト/'
)

# Five nested folders of 50 characters (254 with their separators, within
# the 260 bytes a folder header holds), a file in each, and two more at the
# bottom: the longest entry path has 319 characters.
long_paths=()
long_folder=
for level in 1 2 3 4 5; do
  long_folder+=$(printf '%-50s' "folder-$level-" | tr ' ' x)/
  long_paths+=("${long_folder}file-$level.txt")
done
long_paths+=("$long_folder$(printf '%-60s' bottom- | tr ' ' y).txt" "${long_folder}長いパスの奥のファイル.txt")

# make_tree DIR PATH...: the files, each holding its own path (so that two
# files swapped show), and the empty folders of the PATHs ending in '/'.
make_tree() {
  local dir=$1 path i
  shift
  for path; do
    if [[ $path == */ ]]; then
      mkdir -p "$dir/$path" || fail "cannot make $dir/$path"
    else
      mkdir -p "$(dirname "$dir/$path")" || fail "cannot make the folder of $path"
      for i in $(seq 20); do printf '%s, line %d\n' "$path" "$i"; done > "$dir/$path"
    fi
  done
}

# Every file and folder below DIR, one line each in byte order: a folder's
# path with a '/', a file's path with its SHA-256.
listing() {
  [ -d "$1" ] || return 0
  (
    cd "$1" && find . -mindepth 1 -printf '%y %P\n' | LC_ALL=C sort -k2 |
      while read -r type path; do
        case $type in
          d) printf '%s/\n' "$path" ;;
          f) printf '%s %s\n' "$path" "$(sha256sum < "$path" | cut -d' ' -f1)" ;;
          *) printf '%s (type %s)\n' "$path" "$type" ;;
        esac
      done
  )
}

# expect_tree EXPECTED ACTUAL: the two folders hold the same names, files
# and contents, and nothing else.
expect_tree() {
  diff -u --label expected --label extracted <(listing "$1") <(listing "$2") > "$work/tree.diff" ||
    { cat "$work/tree.diff"; fail "$2 does not hold what $1 does"; }
  echo "checked $(listing "$1" | wc -l) files and folders"
}

# cp1252_view SOURCE DEST: the tree SOURCE, its names stored in Shift-JIS,
# as code page 1252 names it, made in DEST with the same contents: every
# byte one character (the five bytes 1252 leaves undefined become U+0081,
# U+008D, U+008F, U+0090 and U+009D, as Windows and Wine map them), each
# byte 0x5C a separator.
cp1252_view() {
  python3 - "$1" "$2" << 'EOF' || fail "cannot make the code page 1252 view of $1"
import codecs, os, re, shutil, sys

codecs.register_error("c1", lambda e: (e.object[e.start:e.end].decode("latin-1"), e.end))
source, dest = sys.argv[1:]
for root, folders, files in os.walk(source):
    for name in folders + files:
        path = os.path.join(root, name)
        parts = re.split(rb"[/\\]", os.path.relpath(path, source).encode("cp932"))
        if not all(parts):
            sys.exit(f"{path}: 0x5C ends a name, which would leave an empty one")
        target = os.path.join(dest, *(part.decode("cp1252", "c1") for part in parts))
        if os.path.isdir(path):
            os.makedirs(target, exist_ok=True)
        else:
            os.makedirs(os.path.dirname(target), exist_ok=True)
            shutil.copyfile(path, target)
EOF
}

# run_package en|ja PACKAGE [ARGS...]: runs the package under code page
# 1252 or 932, with a robot that answers and reports any box.  The run must
# end with exit code 0 and show no box.  Wine takes 1252 for C.UTF-8, the
# bench's Western locale, which every machine has (en_US.UTF-8 is not
# generated everywhere, and without it Wine takes the C locale's character
# set for Linux file names instead of UTF-8).
run_package() {
  local locale=(--lang C.UTF-8)
  [ "$1" = ja ] && locale=(--ja)
  cat > "$work/answer.robot" << ROBOT
timeout 60
on "VID-IDA" ok
on "Warning" ok
exit $(basename "$2")
ROBOT
  run_bench -t 120 "${locale[@]}" -r "$work/answer.robot" "${@:2}"
  expect_status 0
  expect_no_text 'robot: seen'
}

# log_has PREFIX SUFFIX: the module's log ($work/log.txt) has a line that
# starts with PREFIX and ends with SUFFIX.
log_has() {
  PREFIX=$1 SUFFIX=$2 awk '
    BEGIN { p = ENVIRON["PREFIX"]; s = ENVIRON["SUFFIX"] }
    { sub(/\r$/, "") }
    index($0, p) == 1 && length($0) >= length(p s) && substr($0, length($0) - length(s) + 1) == s { found = 1 }
    END { exit !found }' "$work/log.txt" 2> /dev/null || fail "the log has no line ${1:+starting with \"$1\" and }ending in \"$2\""
}

# expect_report REGEX: setup.exe reported a line that matches REGEX whole.
expect_report() {
  grep -qx -- "$1" <(tr -d '\r' < "$work/report.txt" 2> /dev/null) || fail "setup.exe did not report: $1"
}

# unicode_case en|ja: the mksfx package of unicode_paths, into a configured
# destination.
unicode_case() {
  new_work "names-unicode-$1"
  make_tree "$work/src" "${unicode_paths[@]}"
  package "$work/pkg.exe" . -C "$work/src" --dest "$(windows_path "$work/out")" \
    --no-confirm --skip-dialog --no-open-folder
  run_package "$1" "$work/pkg.exe"
  expect_tree "$work/src" "$work/out"
}

# codepage_case en|ja: an lzhgen archive of codepage_paths in Shift-JIS
# (one folder at each header level), packed by mksfx as it is.
codepage_case() {
  new_work "names-codepage-$1"
  make_tree "$work/src" "${codepage_paths[@]}"
  "$LZHGEN" "$work/a.lzh" -q --charset windows-31j -C "$work/src" --level 0 ソフト \
    --level 1 フォルダ ソフト.txt --level 2 表計算 空ソフト || fail "lzhgen failed"
  ! "$LZHGEN" --dump "$work/a.lzh" | grep -q 'ext 0x4[456] ' || fail "the archive holds UTF-16 names or a code page"
  package "$work/pkg.exe" "$work/a.lzh" --dest "$(windows_path "$work/out")" \
    --no-confirm --skip-dialog --no-open-folder
  run_package "$1" "$work/pkg.exe"
  if [ "$1" = ja ]; then
    expect_tree "$work/src" "$work/out"
  else
    cp1252_view "$work/src" "$work/expected"
    expect_tree "$work/expected" "$work/out"
  fi
}

case ${1:-} in
unicode-en | unicode-ja) unicode_case "${1#unicode-}" ;;
codepage-en | codepage-ja) codepage_case "${1#codepage-}" ;;
long-path)
  need_tool SETUP_EXE
  new_work names-long-path
  make_tree "$work/src" "${long_paths[@]}"
  cp "$SETUP_EXE" "$work/src/setup.exe" || fail "cannot copy setup.exe"
  package "$work/pkg-long.exe" . -C "$work/src" --dest '%temp%' --remove-after-run --run 'setup.exe --stay 1' \
    --no-confirm --skip-dialog --no-open-folder
  private="$E2E_PREFIX/drive_c/users/$(id -un)/Temp/~pkg-long.exe"
  rm -rf "$private"
  export SETUP_REPORT
  SETUP_REPORT=$(windows_path "$work/report.txt")
  run_package en "$work/pkg-long.exe" "/L:$(windows_path "$work/log.txt")"
  [ -f "$work/report.txt" ] && sed 's/\r$//; s/^/report: /' "$work/report.txt"
  expect_report 'start --stay 1'
  expect_report 'cwd .*\\~pkg-long\.exe'
  expect_report 'end stay'
  # Every file was written whole, and removed after the command.
  while IFS=$'\t' read -r size path; do
    log_has '' "\\${path//\//\\}: $size bytes, OK"
    log_has 'removed: ' "\\${path//\//\\}"
  done < <(find "$work/src" -type f -printf '%s\t%P\n')
  [ ! -e "$private" ] || fail "left in the private folder: $(find "$private" | head -5)"
  # /C: the same package extracts into /T:'s folder, runs nothing and
  # removes nothing.
  rm -f "$work/report.txt"
  run_package en "$work/pkg-long.exe" /C "/T:$(windows_path "$work/out")"
  [ ! -e "$work/report.txt" ] || fail "setup.exe ran with /C"
  [ ! -e "$private" ] || fail "/C extracted into %temp%"
  expect_tree "$work/src" "$work/out"
  ;;
*)
  echo "usage: $0 unicode-en|unicode-ja|codepage-en|codepage-ja|long-path" >&2
  exit 2
  ;;
esac
echo "PASS: names $1"
