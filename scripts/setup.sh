#!/bin/bash
# Installs what a fresh Debian 12 machine lacks to build and test lzhsfx.
# Idempotent and quiet: when everything is present it only checks.
set -euo pipefail

packages=(
  cmake ninja-build g++ python3
  g++-mingw-w64-i686 binutils-mingw-w64-i686 g++-mingw-w64-x86-64-posix
  wine wine32:i386 wine64 xvfb xauth imagemagick
  jlha-utils lhasa p7zip-full libarchive-tools default-jdk-headless osslsigncode openssl icoutils nsis
  python3-pefile libdeflate-tools
  clang-14 libclang-rt-14-dev
  googletest libgtest-dev
  locales fonts-ipafont-gothic
)

# Updates the package lists and installs the packages named.  A mirror in
# the middle of a sync serves an index of the wrong size for a while
# ("Mirror sync in progress?"), and an i386 list older than its amd64 twin
# makes the install fail ("held broken packages"): both are tried again,
# together, up to six times a minute apart.
install_packages() {
  local try log=/tmp/lzhsfx-setup.log
  for try in 1 2 3 4 5 6; do
    apt-get update -qq > "$log" 2>&1 || echo "setup: the package lists did not all update (try $try of 6)"
    apt-get install -y -q --no-install-recommends "$@" >> "$log" 2>&1 && return 0
    [ $try = 6 ] && break
    echo "setup: installing failed (try $try of 6); trying again in 60 s"
    sleep 60
  done
  grep -E '^(E|W):' "$log" | tail -20
  echo "setup: could not install $*." >&2
  echo "setup: check the network and the apt sources (/etc/apt/sources.list*); a mirror" \
    "in the middle of a sync recovers within the hour. Then run scripts/setup.sh again." >&2
  exit 1
}

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
  install_packages "${missing[@]}"
fi

# Japanese locale for the Japanese user-interface runs.
if ! locale -a 2>/dev/null | grep -qi '^ja_JP.utf8$'; then
  sed -i 's/^# *\(ja_JP.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen || echo 'ja_JP.UTF-8 UTF-8' >> /etc/locale.gen
  locale-gen > /dev/null
fi
