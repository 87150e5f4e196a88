#!/bin/bash
# The module's steps after the extraction, under the bench: launch_test.sh CASE
#   temp        "%temp%" with removal: the private folder named after the
#               package, setup.exe run there with its arguments, waited for
#               and for the "Setup" window of the child it leaves; then the
#               extracted files, their folders and the private folder are
#               gone, and the file the installer made beside it stays
#   outlive     "%temp%" with removal, a program that starts a child without
#               a window and ends before it: the module waits for the child
#               too (it is in the module's job), removes nothing before the
#               child's end, and hands on the program's own exit code (3010)
#   keep        without removal: the module ends soon after the program is
#               idle, while the program still runs; nothing is deleted
#   bare        the command setup.exe alone: started with no arguments
#   no-dot      a command without a '.' in a destination with one is
#               started whole
#   not-found   a command the shell cannot start: its error box, then the
#               removal of every extracted file and emptied folder (but
#               nothing behind a link to a folder elsewhere)
#   inf         an ".inf" command through the INF installer, waited for;
#               its registry value and file in the 32-bit views of WOW64
#   inf-remove  the same from "%temp%" with removal
#   win64       a package of variant 6: the installation runs with
#               redirection off (64-bit views), then everything is removed
#   win32       a package of variant 6 in a 32-bit Wine prefix is refused
#   cancel      Cancel in the replace question: nothing is started and
#               nothing deleted
#   failure     a folder that cannot be made ends the extraction: nothing
#               is started and nothing deleted
. "$(dirname "$0")/lib.sh"
need_tool ROBOT_EXE
need_tool SFX_EXE
need_tool MKSFX
need_tool LZHGEN
need_tool SETUP_EXE
scripts=$e2e_dir/scripts

# The files every package carries besides its command: one read-only, two
# in subfolders.
payload=(--gen top.txt=text:2k --attr 0x21 --gen readonly.txt=text:1k --no-attr
  --gen sub/deep/inner.bin=rand:3k --gen sub/side.txt=text:500)
payload_files=(readonly.txt sub/deep/inner.bin sub/side.txt top.txt)

# An archive of setup.exe and the payload.
make_setup_archive() {
  "$LZHGEN" "$work/bench.lzh" -q --name setup.exe "$SETUP_EXE" "${payload[@]}" || fail "lzhgen failed"
}

# An archive of an INF script and its payload.  The script writes the
# registry value HKLM\Software\LzhsfxBench-TAG and copies lzhsfx-TAG.txt
# into the system folder; TAG is new for every run, so that earlier runs in
# the same prefix cannot make a check pass.
make_inf_archive() {
  tag=$1$$
  cat > "$work/install.inf" <<INF
[Version]
Signature="\$Windows NT\$"

[DefaultInstall]
AddReg=Bench.Registry
CopyFiles=Bench.Files

[DestinationDirs]
Bench.Files=11

[Bench.Registry]
HKLM,"Software\\LzhsfxBench-$tag","Installed",,"yes"

[Bench.Files]
lzhsfx-$tag.txt
INF
  "$LZHGEN" "$work/bench.lzh" -q --name install.inf "$work/install.inf" --gen "lzhsfx-$tag.txt=text:1k" \
    "${payload[@]}" || fail "lzhgen failed"
}

# The prefix for a Wine of this architecture: the bench's own when it has
# that architecture (or is still to be made), else one beside it.
prefix_for() {
  local arch=$1 reg="$E2E_PREFIX/system.reg"
  if [ ! -f "$reg" ] || grep -qx "#arch=$arch" "$reg"; then
    echo "$E2E_PREFIX"
  else
    echo "$E2E_PREFIX-$arch"
  fi
}

# The temporary folder of the prefix, as Wine's GetTempPathA gives it.
temp_folder() { echo "$1/drive_c/users/$(id -un)/Temp"; }

# A Windows path of the prefix as a Unix path (C: is drive_c, Z: is /).
unix_path() {
  local path=$1 prefix=$2
  case $path in
    [Cc]:*) path="$prefix/drive_c${path:2}" ;;
    [Zz]:*) path=${path:2} ;;
  esac
  printf '%s' "${path//\\//}"
}

# Runs the package with setup.exe's report going to $work/report.txt.
run_package() {
  export SETUP_REPORT
  SETUP_REPORT=$(windows_path "$work/report.txt")
  run_bench "$@"
  [ -f "$work/report.txt" ] && sed 's/\r$//; s/^/report: /' "$work/report.txt"
}

expect_report() {
  grep -qxF -- "$1" <(tr -d '\r' < "$work/report.txt" 2> /dev/null) || fail "setup.exe did not report: $1"
}

expect_no_report() {
  [ ! -e "$work/report.txt" ] || fail "setup.exe ran: $(head -1 "$work/report.txt")"
}

# Every payload file and setup.exe were present at the end of each
# setup.exe process that listed its folder ($1 lists).
expect_listings() {
  local count=$1 name
  for name in setup.exe "${payload_files[@]}"; do
    [ "$(grep -cxF "file ${name//\//\\}" <(tr -d '\r' < "$work/report.txt"))" = "$count" ] ||
      fail "$name was not present at the end of each of $count setup.exe runs"
  done
}

# Every payload file is still in DIR.
expect_payload_kept() {
  local name
  for name in "${payload_files[@]}"; do [ -f "$1/$name" ] || fail "deleted: $1/$name"; done
}

expect_gone() {
  [ ! -e "$1" ] || fail "still there: $1"
}

# The INF installation of the run tagged $tag happened in view 32 or 64
# of a 64-bit prefix.
expect_installed() {
  local prefix=$1 view=$2 key folder other
  if [ "$view" = 32 ]; then
    key='[Software\\Wow6432Node\\LzhsfxBench-'$tag']'
    folder=syswow64 other=system32
  else
    key='[Software\\LzhsfxBench-'$tag']'
    folder=system32 other=syswow64
  fi
  grep -qF "$key" "$prefix/system.reg" || fail "no registry key $key"
  [ -f "$prefix/drive_c/windows/$folder/lzhsfx-$tag.txt" ] || fail "lzhsfx-$tag.txt not in $folder"
  [ ! -e "$prefix/drive_c/windows/$other/lzhsfx-$tag.txt" ] || fail "lzhsfx-$tag.txt also in $other"
  rm -f "$prefix/drive_c/windows/$folder/lzhsfx-$tag.txt"
}

case ${1:-} in
temp)
  new_work launch-temp
  make_setup_archive
  package "$work/pkg-temp.exe" "$work/bench.lzh" \
    --no-confirm --skip-dialog --dest '%temp%' --remove-after-run \
    --run 'setup.exe --create-outside lzhsfx-installed --stay 2 --child 3 alpha beta'
  temp=$(temp_folder "$E2E_PREFIX")
  rm -rf "$temp/~pkg-temp.exe" "$temp/lzhsfx-installed"
  run_package -t 90 "$work/pkg-temp.exe"
  expect_status 0
  expect_report 'start --create-outside lzhsfx-installed --stay 2 --child 3 alpha beta'
  cwd=$(tr -d '\r' < "$work/report.txt" | sed -n 's/^cwd //p' | head -1)
  [ "$(unix_path "$cwd" "$E2E_PREFIX")" = "$temp/~pkg-temp.exe" ] || fail "ran in $cwd"
  expect_report 'end stay'
  expect_report 'child started'
  expect_report 'start --window 3'
  expect_report 'end window'
  # Listed by the program when it ended and by the child when its window
  # closed: the module had deleted nothing until then.
  expect_listings 2
  expect_gone "$temp/~pkg-temp.exe"
  [ -f "$temp/lzhsfx-installed" ] || fail "the installer's own file was removed"
  rm -f "$temp/lzhsfx-installed"
  ;;
outlive)
  new_work launch-outlive
  make_setup_archive
  package "$work/pkg-outlive.exe" "$work/bench.lzh" \
    --no-confirm --skip-dialog --dest '%temp%' --remove-after-run \
    --run 'setup.exe --detached-child 8 --stay 1 --exit 3010'
  temp=$(temp_folder "$E2E_PREFIX")
  rm -rf "$temp/~pkg-outlive.exe"
  run_package -t 90 "$work/pkg-outlive.exe"
  expect_status 194  # 3010, the program's own code, as Wine hands it on: its low byte
  expect_report 'start --detached-child 8 --stay 1 --exit 3010'
  expect_report 'detached child started'
  expect_report 'start --detached 8'
  expect_report 'end stay'
  # The bench ends every Wine process once the module has returned: the
  # child's last line shows that the module waited for it.
  expect_report 'end detached'
  ends=$(tr -d '\r' < "$work/report.txt" | grep -x 'end stay\|end detached' | tr '\n' ' ')
  [ "$ends" = 'end stay end detached ' ] || fail "the child did not outlive the program: $ends"
  # Listed by the program at its end and by the child at its own: the
  # module had deleted nothing until then, and afterwards everything.
  expect_listings 2
  expect_gone "$temp/~pkg-outlive.exe"
  ;;
keep)
  new_work launch-keep
  make_setup_archive
  package "$work/pkg.exe" "$work/bench.lzh" \
    --no-confirm --skip-dialog --dest "$(windows_path "$work/out")" --no-open-folder --run 'SETUP.EXE --stay 30 gamma'
  started=$SECONDS
  run_package -t 90 "$work/pkg.exe"
  expect_status 0
  [ $((SECONDS - started)) -lt 20 ] || fail "the module waited for the program"
  expect_report 'start --stay 30 gamma'
  expect_report "cwd $(windows_path "$work/out")"
  ! grep -q '^end' "$work/report.txt" || fail "the program ended before the module"
  expect_payload_kept "$work/out"
  [ -f "$work/out/setup.exe" ] || fail "setup.exe deleted"
  ;;
bare)
  new_work launch-bare
  make_setup_archive
  package "$work/pkg.exe" "$work/bench.lzh" \
    --no-confirm --skip-dialog --dest "$(windows_path "$work/out")" --no-open-folder --run setup.exe
  run_package -t 90 "$work/pkg.exe"
  expect_status 0
  expect_report 'start '
  expect_report "cwd $(windows_path "$work/out")"
  ;;
no-dot)
  new_work launch-no-dot
  make_setup_archive
  package "$work/pkg.exe" "$work/bench.lzh" \
    --no-confirm --skip-dialog --dest "$(windows_path "$work/kit.exe")" --no-open-folder --run setup
  run_package -t 90 "$work/pkg.exe"
  expect_status 0
  expect_report 'start '
  expect_report "cwd $(windows_path "$work/kit.exe")"
  ;;
not-found)
  new_work launch-not-found
  make_setup_archive
  mkdir -p "$work/out/empty-before" "$work/outside/empty-inside"
  ln -s "$work/outside" "$work/out/link"
  # The last '.' lies in the argument: the whole text is taken as the file.
  package "$work/pkg.exe" "$work/bench.lzh" \
    --no-confirm --skip-dialog --dest "$(windows_path "$work/out")" --remove-after-run --run 'setup.exe /log:a.txt'
  run_package -t 90 -r "$scripts/launch_not_found.robot" "$work/pkg.exe"
  expect_status 3  # ERROR_PATH_NOT_FOUND: the command could not be started
  expect_line 'robot: answer "Error" 1 "OK"'
  expect_no_report
  for name in setup.exe "${payload_files[@]}"; do expect_gone "$work/out/$name"; done
  expect_gone "$work/out/sub"
  # A folder pass removes every empty folder below the destination, but
  # not the destination, which was no private folder.
  expect_gone "$work/out/empty-before"
  [ -d "$work/out" ] || fail "the destination was removed"
  # A link to a folder elsewhere is not followed.
  [ -d "$work/outside/empty-inside" ] || fail "an empty folder behind a link was removed"
  ;;
inf)
  new_work launch-inf
  prefix=$(prefix_for win64)
  make_inf_archive inf
  package "$work/pkg.exe" "$work/bench.lzh" \
    --no-confirm --skip-dialog --dest "$(windows_path "$work/out")" --no-open-folder --run install.inf
  WINEARCH=win64 run_bench -t 90 --prefix "$prefix" "$work/pkg.exe"
  expect_status 0
  expect_installed "$prefix" 32
  expect_payload_kept "$work/out"
  [ -f "$work/out/install.inf" ] || fail "install.inf deleted"
  ;;
planted-inf)
  # A rundll32.exe planted beside the package does not run: the module
  # starts the system folder's by its full path.
  need_tool PLANTED_EXE
  new_work launch-planted-inf
  prefix=$(prefix_for win64)
  make_inf_archive planted
  cp "$PLANTED_EXE" "$work/rundll32.exe"
  package "$work/pkg.exe" "$work/bench.lzh" \
    --no-confirm --skip-dialog --dest "$(windows_path "$work/out")" --no-open-folder --run install.inf
  WINEARCH=win64 run_bench -t 90 --prefix "$prefix" --cwd "$work" "$work/pkg.exe"
  expect_status 0
  [ ! -e "$work/rundll32.exe.ran" ] || fail "the planted rundll32.exe ran"
  expect_installed "$prefix" 32
  ;;
inf-remove)
  new_work launch-inf-remove
  prefix=$(prefix_for win64)
  make_inf_archive infremove
  package "$work/pkg-inf.exe" "$work/bench.lzh" \
    --no-confirm --skip-dialog --dest '%temp%' --remove-after-run --run install.inf
  temp=$(temp_folder "$prefix")
  rm -rf "$temp/~pkg-inf.exe"
  WINEARCH=win64 run_bench -t 90 --prefix "$prefix" "$work/pkg-inf.exe"
  expect_status 0
  expect_installed "$prefix" 32
  expect_gone "$temp/~pkg-inf.exe"
  ;;
win64)
  new_work launch-win64
  prefix=$(prefix_for win64)
  make_inf_archive win
  package "$work/pkg-win64.exe" "$work/bench.lzh" \
    --no-confirm --skip-dialog --dest '%temp%' --remove-after-run --variant 6 --run install.inf
  temp=$(temp_folder "$prefix")
  rm -rf "$temp/~pkg-win64.exe"
  WINEARCH=win64 run_bench -t 90 --prefix "$prefix" "$work/pkg-win64.exe"
  expect_status 0
  expect_installed "$prefix" 64
  expect_gone "$temp/~pkg-win64.exe"
  ;;
win32)
  new_work launch-win32
  make_inf_archive win
  package "$work/pkg.exe" "$work/bench.lzh" \
    --no-confirm --skip-dialog --dest "$(windows_path "$work/out")" --variant 6 --run install.inf
  WINEARCH=win32 run_bench -t 90 --prefix "$E2E_PREFIX-win32" -r "$scripts/launch_win32.robot" "$work/pkg.exe"
  expect_status 216  # ERROR_EXE_MACHINE_TYPE_MISMATCH
  expect_line 'robot: seen "VID-IDA" "This auto-sfx-module cannot be run in Win32."'
  expect_gone "$work/out"
  ;;
cancel)
  new_work launch-cancel
  make_setup_archive
  mkdir -p "$work/out"
  echo before > "$work/out/top.txt"
  # Without --no-confirm the existing top.txt is asked about.
  "$MKSFX" -o "$work/pkg.exe" --module "$SFX_EXE" --skip-dialog --dest "$(windows_path "$work/out")" \
    --remove-after-run --run 'setup.exe --stay 1' "$work/bench.lzh" > /dev/null || fail "mksfx failed"
  run_package -t 90 -r "$scripts/launch_cancel.robot" "$work/pkg.exe"
  expect_status 199  # ERROR_CANCELLED (1223) as Wine hands it on: its low byte
  expect_line 'robot: click "Confirm File Replace" 115 "&Cancel"'
  expect_no_report
  # What came before the cancel stays, even with removal set.
  [ -f "$work/out/setup.exe" ] || fail "setup.exe deleted"
  [ "$(cat "$work/out/top.txt")" = before ] || fail "top.txt replaced"
  ;;
failure)
  new_work launch-failure
  make_setup_archive
  mkdir -p "$work/out"
  echo file > "$work/out/sub"  # the folder sub\deep\ cannot be made
  package "$work/pkg.exe" "$work/bench.lzh" \
    --no-confirm --skip-dialog --dest "$(windows_path "$work/out")" --remove-after-run --run 'setup.exe --stay 1'
  run_package -t 90 -r "$scripts/launch_failure.robot" "$work/pkg.exe"
  expect_status 82  # ERROR_CANNOT_MAKE
  expect_line 'robot: seen "VID-IDA" "Cannot create a folder.\nThis archive forbids writing."'
  expect_no_report
  for name in setup.exe top.txt readonly.txt; do [ -f "$work/out/$name" ] || fail "$name deleted"; done
  ;;
*)
  echo "usage: $0 temp|outlive|keep|bare|no-dot|not-found|inf|planted-inf|inf-remove|win64|win32|cancel|failure" >&2
  exit 2
  ;;
esac
echo "PASS: launch $1"
