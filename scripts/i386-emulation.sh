#!/bin/bash
# Lets a machine whose kernel cannot run 32-bit programs run Wine's 32-bit
# loader under qemu's user-mode emulation: installs qemu-user-static and
# registers it for i386 programs (until the next boot).  About ten times
# slower than a native run (making a Wine prefix takes four minutes): for
# running chosen Windows tests, not the whole suite.
#   scripts/i386-emulation.sh          register
#   scripts/i386-emulation.sh --off    unregister
set -euo pipefail
entry=/proc/sys/fs/binfmt_misc/qemu-i386
if [ "${1:-}" = --off ]; then
  [ -e "$entry" ] && echo -1 > "$entry"
  exit 0
fi
if /lib/ld-linux.so.2 --version > /dev/null 2>&1; then
  echo "i386-emulation: this machine runs 32-bit programs already"
  exit 0
fi
[ -x /usr/bin/qemu-i386-static ] ||
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends qemu-user-static > /dev/null
[ -e /proc/sys/fs/binfmt_misc/register ] || mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc
# 32-bit little-endian x86 ELF programs and shared objects (e_type 2 or 3).
[ -e "$entry" ] || printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386-static:F' \
  > /proc/sys/fs/binfmt_misc/register
/lib/ld-linux.so.2 --version > /dev/null && echo "i386-emulation: 32-bit programs run under qemu"
