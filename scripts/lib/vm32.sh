#!/usr/bin/env bash
# Runs a command of this tree in a virtual machine whose kernel runs 32-bit
# x86 programs, for hosts whose kernel does not (IA-32 emulation off):
#
#   bash scripts/lib/vm32.sh COMMAND [ARG...]
#   bash scripts/lib/vm32.sh --root       # only makes the root, when needed
#
# The machine is qemu-system-x86_64 without KVM (TCG), both cores, 4 GiB,
# booting a Debian 12 amd64 root with i386 multiarch and what the Wine tiers
# call (wine, wine32:i386, wine64, nsis, the locales C.UTF-8 and
# ja_JP.UTF-8). The root is made once with debootstrap into
# /var/cache/quorvant/x86-vm/ (QV_VM32_CACHE names another folder: an ext4
# image, its kernel and initrd) and reused; it is made anew when its package
# list changes. One run makes it while the others wait for it (a lock beside
# the folder), so scripts/test.sh can make it during the build. Every run boots it
# with its writes thrown away; the tree is shared at the same path over 9p,
# COMMAND runs there as root with a fresh environment (HOME=/root, the tiers
# set their own locale), its output streams here, and its exit status is
# this script's. The machine is stopped after QV_VM32_TIMEOUT seconds (3600
# by default), and nothing stays running or mounted. Needs root when the
# root has to be made (debootstrap, chroot). Anything missing fails: it
# never skips.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)

cache=${QV_VM32_CACHE:-/var/cache/quorvant/x86-vm}
# What the root holds; a root made for another list is made anew.
packages="linux-image-amd64 initramfs-tools kmod wine wine32:i386 wine64 nsis locales procps"
# The modules the initrd loads itself (there is no udev in the root).
modules="virtio_pci virtio_blk ext4 9p 9pnet_virtio"
root_mark="bookworm minbase+i386 $packages / $modules"
timeout_s=${QV_VM32_TIMEOUT:-3600}

fail() { echo "vm32: $*" >&2; exit 1; }
[ $# -gt 0 ] || fail "usage: vm32.sh COMMAND [ARG...]"
qemu=/usr/bin/qemu-system-x86_64
[ -x "$qemu" ] || fail "$qemu is missing; run bash scripts/deps.sh"

work=
chroot_mounts=()
cleanup() {
  local m
  for ((m = ${#chroot_mounts[@]} - 1; m >= 0; m--)); do
    umount "${chroot_mounts[m]}" || echo "vm32: cannot unmount ${chroot_mounts[m]}" >&2
  done
  [ -z "$work" ] || rm -rf "$work"
}
trap cleanup EXIT

# Runs a step of making the root with its output in the root's log, shown
# when the step fails.
step() {
  "$@" >>"$cache.log" 2>&1 || { tail -n 30 "$cache.log" >&2; fail "making the root failed: $*"; }
}

make_root() {
  local dir=$cache.new/root started
  started=$(date +%s)
  [ "$(id -u)" -eq 0 ] || fail "making the root needs root (debootstrap, chroot)"
  command -v debootstrap >/dev/null || fail "debootstrap is missing; run bash scripts/deps.sh"
  command -v mke2fs >/dev/null || fail "mke2fs is missing"
  echo "vm32: making the x86 root in $cache (once; later runs reuse it)"
  rm -rf "$cache.new" "$cache" "$cache.log"
  mkdir -p "$dir"
  step debootstrap --arch=amd64 --variant=minbase bookworm "$dir" http://deb.debian.org/debian
  cp /etc/resolv.conf "$dir/etc/resolv.conf"
  mkdir -p "$dir/usr/share/initramfs-tools/modules.d"
  # shellcheck disable=SC2086  # one module a line
  printf '%s\n' $modules >"$dir/usr/share/initramfs-tools/modules.d/qv-vm32"
  mount -t proc proc "$dir/proc" && chroot_mounts+=("$dir/proc")
  # shellcheck disable=SC2086  # the list is words
  step chroot "$dir" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin DEBIAN_FRONTEND=noninteractive sh -c "
    dpkg --add-architecture i386 && apt-get update -qq &&
    apt-get install -y -qq --no-install-recommends $packages && apt-get clean &&
    localedef -i ja_JP -f UTF-8 ja_JP.UTF-8"
  umount "$dir/proc" && chroot_mounts=()
  install -m 755 /dev/stdin "$dir/sbin/qv-vm32-init" <<'EOF'
#!/bin/sh
# The machine's init: mounts what the command needs, runs it, hands its exit
# status back through the job folder and powers off.
export PATH=/usr/sbin:/usr/bin:/sbin:/bin
mountpoint -q /proc || mount -t proc proc /proc
mountpoint -q /sys || mount -t sysfs sys /sys
mountpoint -q /dev || mount -t devtmpfs dev /dev
mount -t tmpfs -o size=75% tmpfs /tmp
mount -t tmpfs tmpfs /root
mount -t tmpfs tmpfs /run
mkdir -p /job && mount -t 9p -o trans=virtio,version=9p2000.L,msize=262144 job /job
tree=$(cat /job/tree)
mkdir -p "$tree" && mount -t 9p -o trans=virtio,version=9p2000.L,msize=262144,cache=loose tree "$tree"
stty -F /dev/ttyS0 -opost 2>/dev/null
cd "$tree" && env -i HOME=/root PATH=/usr/sbin:/usr/bin:/sbin:/bin TMPDIR=/tmp bash /job/command \
  </dev/null >/dev/ttyS0 2>&1
echo $? >/job/status
sync
echo o >/proc/sysrq-trigger
sleep 60
EOF
  cp "$dir"/boot/vmlinuz-* "$cache.new/vmlinuz"
  cp "$dir"/boot/initrd.img-* "$cache.new/initrd.img"
  rm -rf "$dir"/var/lib/apt/lists/* "$dir"/boot/*
  # An image of the root with room for the guest's own writes (none: it
  # runs from a snapshot).
  step mke2fs -q -t ext4 -d "$dir" -L qv-vm32 "$cache.new/root.img" \
    "$(( $(du -sm "$dir" | cut -f1) * 12 / 10 + 256 ))M"
  rm -rf "$dir"
  echo "$root_mark" >"$cache.new/mark"
  mv "$cache.new" "$cache"
  echo "vm32: root made in $(($(date +%s) - started)) s"
}

root_made() { [ "$(cat "$cache/mark" 2>/dev/null)" = "$root_mark" ] && [ -f "$cache/root.img" ]; }
if ! root_made; then
  mkdir -p "$(dirname "$cache")"
  exec 9>"$cache.lock"
  flock 9
  root_made || make_root
  flock -u 9
fi
[ "$1" != --root ] || exit 0

# The job folder: the command, the tree's path, and the status written back.
work=$(mktemp -d "${TMPDIR:-/tmp}/qv-vm32.XXXXXX")
printf '%s' "$root" >"$work/tree"
printf '%q ' "$@" >"$work/command"
started=$(date +%s)
echo "vm32: booting the x86 machine for: $*"
set +e
timeout -k 10 "$timeout_s" "$qemu" -machine q35 -accel tcg,thread=multi -cpu Nehalem -smp 2 -m 4096 \
  -nodefaults -no-user-config -display none -no-reboot \
  -kernel "$cache/vmlinuz" -initrd "$cache/initrd.img" \
  -append "root=/dev/vda rw rootfstype=ext4 init=/sbin/qv-vm32-init console=ttyS0 quiet loglevel=3" \
  -drive "file=$cache/root.img,if=virtio,format=raw,snapshot=on" \
  -virtfs "local,path=$root,mount_tag=tree,security_model=none" \
  -virtfs "local,path=$work,mount_tag=job,security_model=none" \
  -serial stdio -monitor none -nic none </dev/null
machine=$?
set -e
echo "vm32: the machine ran $(($(date +%s) - started)) s"
[ "$machine" -ne 124 ] || fail "the machine did not finish within $timeout_s s; stopped"
[ "$machine" -eq 0 ] || fail "the machine failed (qemu's status $machine)"
[ -s "$work/status" ] || fail "the command gave no exit status (the machine stopped before it ended)"
exit "$(cat "$work/status")"
