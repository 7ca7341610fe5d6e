# Sourced: the Windows side on hosts that cannot run 32-bit x86 code. There Wine runs inside a
# Debian amd64 virtual machine under full-system emulation (qemu-system-x86_64, TCG), booted
# from an image that scripts/vm/image.sh builds once per machine under /opt/kolvane-deps/vm.
#
#   winvm_wanted                  true when the Windows side must run in the VM: the host cannot
#                                 start Wine's 32-bit server, or KOLVANE_WINE_VM=1 forces it
#   winvm_run [-w DIR]... -- CMD  boots the VM, runs CMD in the guest in the repository folder
#                                 (mounted at the same path, read-only, with a throw-away
#                                 writable layer; each DIR is shared writable at its own path)
#                                 and returns CMD's exit status; CMD's output streams to stdout
#
# Settings: KOLVANE_VM_CPUS (virtual CPUs, default: the host's), KOLVANE_VM_MEMORY (default 6G),
# KOLVANE_VM_TIMEOUT (seconds before a run is stopped, default 3600).

winvm_here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
winvm_root=$(cd "$winvm_here/../.." && pwd)

winvm_wanted() {
  case ${KOLVANE_WINE_VM:-} in
    1 | yes | on | true) return 0 ;;
  esac
  if [ -z "${winvm_probe_done:-}" ]; then
    winvm_probe_done=1
    winvm_host_runs_32bit=0
    /usr/lib/wine/wineserver32 --version >/dev/null 2>&1 </dev/null && winvm_host_runs_32bit=1
  fi
  [ "$winvm_host_runs_32bit" = 0 ]
}

# Why the VM is used, for the scripts' progress lines.
winvm_reason() {
  case ${KOLVANE_WINE_VM:-} in
    1 | yes | on | true) echo "KOLVANE_WINE_VM=$KOLVANE_WINE_VM" ;;
    *) echo "this host runs no 32-bit x86 code" ;;
  esac
}

# The image's folder: named after everything it is built from, so a changed recipe gives a new one.
winvm_image_dir() {
  local key
  key=$(cat "$winvm_here/packages" "$winvm_here/init" "$winvm_here/image.sh" | sha256sum | cut -c1-16)
  echo "/opt/kolvane-deps/vm/$key"
}

# A 9p option value: qemu doubles commas inside option values.
winvm_opt() { printf '%s' "${1//,/,,}"; }

# Boots the image in folder $1 with the io folder $2 (guest.sh inside it) and disk mode $3
# (snapshot or write); remaining arguments are extra qemu options. Returns the guest script's
# status, or 125 when the guest did not report one.
winvm_boot() {
  local image=$1 io=$2 mode=$3
  shift 3
  local cpus memory status=0
  cpus=${KOLVANE_VM_CPUS:-$(nproc 2>/dev/null || echo 2)}
  memory=${KOLVANE_VM_MEMORY:-6G}
  local drive="file=$(winvm_opt "$image/disk.img"),format=raw,if=virtio"
  [ "$mode" = snapshot ] && drive+=",snapshot=on"
  rm -f "$io/status"
  timeout "${KOLVANE_VM_TIMEOUT:-3600}" qemu-system-x86_64 \
    -accel tcg,thread=multi -smp "$cpus" -m "$memory" -cpu max,-smap \
    -display none -monitor none -no-reboot -nic none \
    -kernel "$image/vmlinuz" -initrd "$image/initrd.img" \
    -append "root=/dev/vda rw init=/usr/local/sbin/kolvane-vm-init console=ttyS0 quiet" \
    -drive "$drive" \
    -serial "file:$io/console.log" \
    -device virtio-serial -chardev stdio,id=out,signal=off -device virtconsole,chardev=out \
    -virtfs "local,path=$(winvm_opt "$io"),mount_tag=kvio,security_model=none" \
    "$@" </dev/null 2>"$io/qemu.log" || status=$?
  if [ -f "$io/status" ]; then
    return "$(cat "$io/status")"
  fi
  if [ "$status" = 124 ]; then
    echo "vm: stopped after ${KOLVANE_VM_TIMEOUT:-3600} s" >&2
  fi
  echo "vm: the guest reported no result (qemu exit status $status); its console said:" >&2
  tail -n 30 "$io/console.log" "$io/qemu.log" >&2 2>/dev/null
  return 125
}

winvm_run() {
  local shares=()
  while [ $# -gt 0 ]; do
    case $1 in
      -w) shares+=("$(cd "$2" && pwd)"); shift 2 ;;
      --) shift; break ;;
      *) break ;;
    esac
  done
  local image
  image=$(winvm_image_dir)
  if [ ! -f "$image/ready" ]; then
    echo "vm: no test VM image at $image; scripts/setup.sh builds it" >&2
    return 125
  fi
  local io
  io=$(mktemp -d /tmp/kolvane-vm.XXXXXX)
  local opts=(-virtfs "local,path=$(winvm_opt "$winvm_root"),mount_tag=kvsrc,security_model=none,readonly=on")
  {
    echo 'set -e'
    printf 'root=%q\n' "$winvm_root"
    echo 'mkdir -p "$root" /mnt/kv-src /var/kolvane/upper /var/kolvane/work'
    echo 'mount -t 9p -o trans=virtio,version=9p2000.L,msize=524288,cache=loose,ro kvsrc /mnt/kv-src'
    # Builds and tests write beside the tree (ctest's logs, test files): into a layer that
    # lives on the guest's disk and goes with it.
    echo 'mount -t overlay overlay -o lowerdir=/mnt/kv-src,upperdir=/var/kolvane/upper,workdir=/var/kolvane/work "$root"'
    local i=0 dir
    for dir in "${shares[@]}"; do
      opts+=(-virtfs "local,path=$(winvm_opt "$dir"),mount_tag=kvrw$i,security_model=none")
      printf 'mkdir -p %q && mount -t 9p -o trans=virtio,version=9p2000.L,msize=524288 kvrw%d %q\n' \
        "$dir" "$i" "$dir"
      i=$((i + 1))
    done
    # A fresh copy of the image's booted Wine prefix in the build's prefix folder, on the guest's
    # ext4: Wine keeps the hidden and system attributes in extended attributes.
    echo 'cp -a /var/lib/kolvane/wineprefix /var/kolvane/wineprefix'
    echo 'mkdir -p "$root/build/win32/wineprefix"'
    echo 'mount --bind /var/kolvane/wineprefix "$root/build/win32/wineprefix"'
    echo 'set +e'
    echo 'export HOME=/root'
    echo 'cd "$root"'
    printf 'exec'
    printf ' %q' "$@"
    echo
  } >"$io/guest.sh"
  local status=0
  winvm_boot "$image" "$io" snapshot "${opts[@]}" || status=$?
  rm -rf "$io"
  return "$status"
}
