#!/bin/bash
# Installs what a fresh Debian 12 machine lacks to build and test lzhsfx.
# Idempotent and quiet: when everything is present it only checks.
set -euo pipefail

packages=(
  cmake ninja-build g++ python3
  g++-mingw-w64-i686 binutils-mingw-w64-i686
  wine wine32:i386 wine64 xvfb xauth imagemagick
  jlha-utils lhasa p7zip-full libarchive-tools default-jdk-headless osslsigncode openssl icoutils nsis
  clang-14 libclang-rt-14-dev
  googletest libgtest-dev
  locales fonts-ipafont-gothic
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" > /tmp/lzhsfx-setup.log 2>&1 ||
    { tail -20 /tmp/lzhsfx-setup.log; exit 1; }
fi

# Japanese locale for the Japanese user-interface runs.
if ! locale -a 2>/dev/null | grep -qi '^ja_JP.utf8$'; then
  sed -i 's/^# *\(ja_JP.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen || echo 'ja_JP.UTF-8 UTF-8' >> /etc/locale.gen
  locale-gen > /dev/null
fi
