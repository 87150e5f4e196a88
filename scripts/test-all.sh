#!/bin/bash
# Sets up a fresh machine, builds everything and runs every test:
# host unit and corpus tests, the Windows tests under Wine (unit and
# end-to-end), and a bounded fuzzing run of every fuzz target.
#   FUZZ_SECONDS  seconds per fuzz target (default 30; 0 skips fuzzing)
set -uo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

bash scripts/setup.sh || exit 1

passed=0 failed=0
# Runs ctest in a build folder and adds its counts to the totals.
run_ctest() {
  local dir=$1 log
  shift
  log=$(mktemp)
  ctest --test-dir "$dir" --output-on-failure -j2 --timeout 1500 "$@" 2>&1 | tee "$log"
  local total fails
  total=$(sed -n 's/.* tests failed out of \([0-9]*\).*/\1/p' "$log" | tail -1)
  fails=$(sed -n 's/.*, \([0-9]*\) tests failed out of.*/\1/p' "$log" | tail -1)
  if [ -z "$total" ]; then
    echo "test-all: no ctest summary from $dir"
    failed=$((failed + 1))
  else
    passed=$((passed + total - fails))
    failed=$((failed + fails))
  fi
  rm -f "$log"
}

build() {
  cmake --preset "$1" > /dev/null && cmake --build --preset "$1" -j2 ||
    { echo "test-all: the $1 build failed"; failed=$((failed + 1)); return 1; }
}

# Both builds first: some host tests pack the Windows module.
build host && host_built=1
build win32 && win32_built=1
[ -n "${host_built:-}" ] && run_ctest build/host
# Wine runs the Windows tests with its 32-bit loader; a kernel built without
# 32-bit support refuses it ("Exec format error"), and no Windows test can
# run.  They are then counted as skipped, loudly, rather than as 62 failures
# that say nothing about the code (scripts/i386-emulation.sh lets such a
# machine run chosen ones, slowly).
skipped=0
if [ -n "${win32_built:-}" ]; then
  if /lib/ld-linux.so.2 --version > /dev/null 2>&1; then
    run_ctest build/win32
  else
    # The checks of the built image need no Wine.
    run_ctest build/win32 -L image
    skipped=$(ctest --test-dir build/win32 -N -LE image | sed -n 's/^Total Tests: //p')
    echo "test-all: SKIPPED the ${skipped} Windows tests: this machine's kernel cannot run" \
      "32-bit programs, which Wine needs"
  fi
fi

if [ "${FUZZ_SECONDS:-30}" != 0 ] && [ -x tests/fuzz/run.sh ]; then
  if tests/fuzz/run.sh "${FUZZ_SECONDS:-30}" "$root/build/fuzz"; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
  fi
fi

echo
[ "$skipped" = 0 ] && skipped_note="" || skipped_note=", $skipped skipped"
echo "test-all: $passed passed, $failed failed$skipped_note"
[ "$failed" = 0 ]
