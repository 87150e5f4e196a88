#!/bin/bash
# Installs what a fresh Debian 12 machine lacks to build and test lzhsfx.
# Idempotent and quiet: when everything is present it only checks.
set -euo pipefail

packages=(
  cmake ninja-build g++ python3
  g++-mingw-w64-i686 binutils-mingw-w64-i686
  wine wine32:i386 wine64 xvfb xauth imagemagick
  jlha-utils lhasa p7zip-full libarchive-tools default-jdk-headless osslsigncode openssl icoutils nsis
  python3-pefile
  clang-14 libclang-rt-14-dev
  googletest libgtest-dev
  locales fonts-ipafont-gothic
)

# Runs a command up to five times, 30 s apart.  Returns 1 with the last
# lines of its output shown when every try failed.
retry() {
  local what=$1 try
  shift
  for try in 1 2 3 4 5; do
    "$@" > /tmp/lzhsfx-setup.log 2>&1 && return 0
    [ $try = 5 ] && break
    echo "setup: $what failed (try $try of 5); trying again in 30 s"
    sleep 30
  done
  tail -20 /tmp/lzhsfx-setup.log
  echo "setup: $what failed five times." >&2
  return 1
}

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
  # A mirror in the middle of a sync serves an index of the wrong size for a
  # while ("Mirror sync in progress?"): try again after a pause.
  # An index that stays unreadable may not be one the packages need: the
  # install goes on with the lists as they are and says if that failed.
  retry "updating the package lists" apt-get update -qq ||
    echo "setup: going on with the package lists as they are" >&2
  retry "installing ${missing[*]}" \
    apt-get install -y -qq --no-install-recommends "${missing[@]}" || {
    echo "setup: could not install the packages above. Check the network and the" \
      "apt sources (/etc/apt/sources.list*); a mirror in the middle of a sync" \
      "recovers within the hour. Then run scripts/setup.sh again." >&2
    exit 1
  }
fi

# Japanese locale for the Japanese user-interface runs.
if ! locale -a 2>/dev/null | grep -qi '^ja_JP.utf8$'; then
  sed -i 's/^# *\(ja_JP.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen || echo 'ja_JP.UTF-8 UTF-8' >> /etc/locale.gen
  locale-gen > /dev/null
fi
