#!/usr/bin/env bash
# Builds the test VM's image once per machine (as root): a minimal Debian amd64 system with
# wine32 from the host's own Debian mirror, an 8 GiB sparse ext4 disk, the kernel and initrd
# beside it, then one boot that finishes the i386 packages (their maintainer scripts cannot run
# on a host without 32-bit support) and boots a Wine prefix to copy at every run.
# Quiet when the image is there; the log's end when a step fails.
set -euo pipefail
source "$(dirname "$0")/vm.sh"

image=$(winvm_image_dir)
[ -f "$image/ready" ] && exit 0

base=$(dirname "$image")
mkdir -p "$base"
exec 9>"$base/.lock"
flock 9
[ -f "$image/ready" ] && exit 0

echo "setup: building the test VM image (a few minutes, once per machine)"
work=$(mktemp -d "$base/.build.XXXXXX")
root=$work/root
log=$work/build.log
cleanup() {
  umount "$root/proc" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "setup: building the VM image failed at: $1" >&2
  tail -n 40 "$log" >&2
  exit 1
}

# The host's own Debian entries (apt-cache policy lists them whatever their file format).
codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-bookworm}")
entries=$(apt-cache policy | awk -v c="$codename" '
  $1 ~ /^[0-9]+$/ && $4 == "amd64" && $5 == "Packages" {
    split($3, sc, "/"); if (sc[1] !~ ("^" c "(-updates|-security)?$")) next
    key = $2 " " sc[1]; if (!(key in comps)) order[++n] = key
    if (index(" " comps[key] " ", " " sc[2] " ") == 0) comps[key] = comps[key] " " sc[2]
  }
  END { for (i = 1; i <= n; i++) print "deb " order[i] comps[order[i]] }')
mirror=$(awk -v c="$codename" '$3 == c { print $2; exit }' <<<"$entries")
mirror=${mirror:-http://deb.debian.org/debian}

debootstrap --variant=minbase --arch=amd64 "$codename" "$root" "$mirror" >"$log" 2>&1 ||
  fail "debootstrap from $mirror"
if [ -n "$entries" ]; then
  printf '%s\n' "$entries" >"$root/etc/apt/sources.list"
fi
printf '#!/bin/sh\nexit 101\n' >"$root/usr/sbin/policy-rc.d"
chmod +x "$root/usr/sbin/policy-rc.d"
mount -t proc proc "$root/proc"
in_root() { chroot "$root" env DEBIAN_FRONTEND=noninteractive LC_ALL=C "$@"; }
in_root dpkg --add-architecture i386
in_root apt-get update -qq >>"$log" 2>&1 || fail "apt-get update"
mapfile -t packages < <(grep -v '^#' "$winvm_here/packages" | grep .)
# The i386 maintainer scripts that run i386 programs fail here with ENOEXEC; the guest runs them
# again at its first boot.
in_root apt-get install -y -q --no-install-recommends "${packages[@]}" >>"$log" 2>&1 ||
  in_root apt-get install -y -q --no-install-recommends -f >>"$log" 2>&1 || true
for p in "${packages[@]}"; do
  in_root dpkg-query -W -f='${Status}\n' "$p" 2>/dev/null | grep -q 'installed$\|unpacked$\|half-configured$' ||
    fail "installing $p"
done
mkdir -p "$root/var/lib/kolvane"
grep -oE '/var/lib/dpkg/info/[^ ]+\.postinst: [0-9]+: .*Exec format error' "$log" |
  sed -E 's#^/var/lib/dpkg/info/([^ ]+)\.postinst:.*#\1#' | sort -u >"$root/var/lib/kolvane/postinst-again" || true
in_root localedef -i ja_JP -f UTF-8 ja_JP.UTF-8 >>"$log" 2>&1 || fail "generating ja_JP.UTF-8"
in_root apt-get clean
rm -f "$root/usr/sbin/policy-rc.d"
umount "$root/proc"
install -m 755 "$winvm_here/init" "$root/usr/local/sbin/kolvane-vm-init"

mkdir -p "$work/image"
cp "$(ls "$root"/boot/vmlinuz-* | sort -V | tail -n 1)" "$work/image/vmlinuz"
cp "$(ls "$root"/boot/initrd.img-* | sort -V | tail -n 1)" "$work/image/initrd.img"
mkfs.ext4 -q -F -L kolvane-vm -d "$root" "$work/image/disk.img" 8G >>"$log" 2>&1 || fail "mkfs.ext4"
rm -rf "$root"

# First boot, writing to the disk: finish the packages, boot the Wine prefix the runs copy.
mkdir -p "$work/io"
cat >"$work/io/guest.sh" <<'GUEST'
set -e
export DEBIAN_FRONTEND=noninteractive HOME=/root
dpkg --configure -a
while read -r p; do
  [ -n "$p" ] && "/var/lib/dpkg/info/$p.postinst" configure || true
done </var/lib/kolvane/postinst-again
export WINEPREFIX=/var/lib/kolvane/wineprefix LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEARCH=win32
xvfb-run -a wine wineboot >/dev/null 2>&1
wineserver -w
test -f "$WINEPREFIX/system.reg"
sync
GUEST
status=0
winvm_boot "$work/image" "$work/io" write >>"$log" 2>&1 || status=$?
[ "$status" = 0 ] || {
  cat "$work/io/console.log" >>"$log" 2>/dev/null || true
  fail "the first boot (status $status)"
}

touch "$work/image/ready"
rm -rf "$image"
mv "$work/image" "$image"
# Images of earlier recipes go.
find "$base" -mindepth 1 -maxdepth 1 -type d ! -name "$(basename "$image")" ! -name '.build.*' \
  -exec rm -rf {} +
echo "setup: test VM image ready in $image"
