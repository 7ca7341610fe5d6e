#!/usr/bin/env bash
# Takes a fresh Debian 12 machine (as root) to a working Kolvane build:
# the MinGW-w64 cross compilers, Wine (32-bit), Xvfb, the host toolchain and
# libraries, and the ja_JP.UTF-8 locale. Idempotent; quiet when all is there.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686
  libz-mingw-w64-dev libboost-dev zlib1g-dev googletest dpkg-dev unzip python3
  wine wine32:i386 fonts-wine xvfb xauth fonts-noto-cjk locales
  fp-utils libxml2-utils
  # Peers of the delivery tests (mail, upload, name lookups), run in a network namespace.
  python3-aiosmtpd python3-pyftpdlib python3-dnslib openssl iproute2 util-linux
)

# Adds deb-src twins of the deb entries (deb822 .sources files and one-line lists), once.
enable_deb_src() {
  local out=/etc/apt/sources.list.d/kolvane-deb-src.sources
  if apt-cache showsrc zlib >/dev/null 2>&1 && [ -n "$(apt-cache showsrc zlib 2>/dev/null)" ]; then
    return 0
  fi
  if [ ! -f "$out" ]; then
    local f
    : >"$out.tmp"
    for f in /etc/apt/sources.list.d/*.sources; do
      [ -f "$f" ] && [ "$f" != "$out" ] || continue
      # One stanza per paragraph: keep those whose Types hold deb, with deb-src instead.
      awk 'BEGIN { RS = ""; ORS = "\n\n" }
           /(^|\n)Types:[^\n]*[[:space:]]deb([[:space:]]|$)/ {
             sub(/(^|\n)Types:[^\n]*/, "\nTypes: deb-src"); sub(/^\n/, ""); print }' "$f" >>"$out.tmp"
    done
    if [ -f /etc/apt/sources.list ]; then
      grep -E '^[[:space:]]*deb[[:space:]]' /etc/apt/sources.list | sed -E 's/^[[:space:]]*deb[[:space:]]/deb-src /' \
        >/etc/apt/sources.list.d/kolvane-deb-src.list || true
    fi
    mv "$out.tmp" "$out"
  fi
  apt-get update -qq >/dev/null
}

# Downloads and unpacks the zlib source package into $1/zlib, trying the newest version first.
fetch_zlib_source() {
  local deps=$1 work version
  work=$(mktemp -d "$deps/.zlib.XXXXXX")
  for version in $(apt-cache showsrc zlib | awk '/^Version:/ { print $2 }' | sort -ruV); do
    if (cd "$work" && apt-get source -qq "zlib=$version" >/dev/null 2>&1); then
      local dir
      dir=$(find "$work" -mindepth 1 -maxdepth 1 -type d -name 'zlib-*' | head -n 1)
      if [ -n "$dir" ] && [ -f "$dir/contrib/minizip/zip.c" ]; then
        rm -rf "$deps/zlib"
        mv "$dir" "$deps/zlib"
        rm -rf "$work"
        return 0
      fi
    fi
    rm -rf "${work:?}"/*
  done
  rm -rf "$work"
  return 1
}

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

# Hosts that cannot run 32-bit x86 code run the Windows side in a test VM (scripts/vm/): its
# emulator and an image built once per machine.
source "$(dirname "$0")/vm/vm.sh"
if winvm_wanted; then
  vm_packages=(qemu-system-x86 debootstrap e2fsprogs)
  vm_missing=()
  for p in "${vm_packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || vm_missing+=("$p")
  done
  if [ ${#vm_missing[@]} -gt 0 ]; then
    echo "setup: installing ${vm_missing[*]}"
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${vm_missing[@]}" >/dev/null
  fi
  bash "$(dirname "$0")/vm/image.sh"
fi

# minizip: its sources come from Debian's zlib source package (contrib/minizip) and CMake
# compiles them for both builds (Debian ships no MinGW minizip, and its libminizip 1.1 cannot
# encrypt correctly on 64-bit hosts). They live outside the repository; the source entries are
# derived from the machine's own Debian sources list.
deps=/opt/kolvane-deps
if [ ! -f "$deps/zlib/contrib/minizip/zip.c" ]; then
  echo "setup: fetching the zlib source package for minizip"
  enable_deb_src
  mkdir -p "$deps"
  fetch_zlib_source "$deps" || { echo "setup: cannot download the zlib sources" >&2; exit 1; }
fi
exit 0
