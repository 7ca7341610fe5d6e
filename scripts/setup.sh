#!/usr/bin/env bash
# Takes a fresh Debian 12 machine (as root) to a working Kolvane build:
# the MinGW-w64 cross compilers, Wine (32-bit), Xvfb, the host toolchain and
# libraries, and the ja_JP.UTF-8 locale. Idempotent; quiet when all is there.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686
  libz-mingw-w64-dev libboost-dev zlib1g-dev googletest
  wine wine32:i386 xvfb xauth fonts-noto-cjk locales
  fp-utils
)

need_install=()
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
  need_update=1
fi
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    need_install+=("$p")
  fi
done

if [ ${#need_install[@]} -gt 0 ]; then
  echo "setup: installing ${need_install[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq >/dev/null
  apt-get install -y -qq --no-install-recommends "${need_install[@]}" >/dev/null
fi

if ! locale -a 2>/dev/null | grep -qix 'ja_JP.utf8'; then
  echo "setup: generating ja_JP.UTF-8"
  localedef -i ja_JP -f UTF-8 ja_JP.UTF-8
fi
exit 0
