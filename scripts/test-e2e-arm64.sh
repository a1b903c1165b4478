#!/usr/bin/env bash
# End-to-end tier for ARM64 Windows: Debian's arm64 Wine, run by
# qemu-user-static in an arm64 Debian 12 root, with a throwaway 64-bit
# prefix made for this run:
#   1. dist/arm64/QUORVANT.dll from the ARM64 runner (build/arm64/tests/e2e),
#      with the ARM64 NEWDEV substitutes in system32: the cases that apply
#      to an ARM64 caller, qvinst (dist/arm64/qvinst.exe) and its diagnosis
#      among them;
#   2. the ARM64 helper started the way the 32-bit library starts it on
#      ARM64 Windows: the ARM64 runner loads the bridge caller (the
#      library's bridge for an x86 process on ARM64, in an ARM64 DLL) from a
#      copy of the release, and the helper installs natively through the
#      same substitute: the wow64 group. This arm64 Wine runs no x86 or x64
#      program, so no 32-bit or x64 caller runs here.
# The root (debootstrap --variant=minbase bookworm, wine and wine64 inside)
# is made once into /var/cache/quorvant/arm64-root (QV_ARM64_ROOT names
# another folder) and reused; a root without its completion mark is made
# anew. `test-e2e-arm64.sh --root` only makes the root when needed (so
# scripts/test.sh makes it while the build runs); one run at a time uses the
# root, the others wait (a lock beside it). Needs root: chroot, mounts, binfmt_misc.
# binfmt_misc is mounted and qemu-aarch64 registered only when they are not
# already, and undone at exit when this run did it; so are the root's mounts
# and its wineserver. Anything missing fails the tier: it never skips.
# Needs `bash scripts/build.sh` first.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
export LC_ALL=C.UTF-8

only_root=0
[ "${1:-}" != --root ] || only_root=1
programs=$(realpath -m build/arm64/tests/e2e)
source scripts/lib/wine_prefix.sh
source scripts/lib/stage_release.sh
[ "$only_root" = 1 ] ||
  require_built test-e2e-arm64 "dist/$arm64_folder/QUORVANT.dll" "dist/$arm64_folder/qvinst.exe" \
    "dist/$arm64_helper" \
    "$programs/qv_e2e.exe" "$programs/newdev_substitute.dll" "$programs/newdev_without_entry.dll" \
    "$programs/qv_bridge_caller.dll" "$programs/qv_helper_standin.exe"

fail() { echo "test-e2e-arm64: $*" >&2; exit 1; }
[ "$(id -u)" -eq 0 ] || fail "needs root (chroot, mounts, binfmt_misc)"
qemu=/usr/bin/qemu-aarch64-static
[ -x "$qemu" ] || fail "$qemu is missing; run bash scripts/deps.sh"
command -v debootstrap >/dev/null || fail "debootstrap is missing; run bash scripts/deps.sh"

arm_root=${QV_ARM64_ROOT:-/var/cache/quorvant/arm64-root}
mkdir -p "$(dirname "$arm_root")"
exec 9>"$arm_root.lock"
flock 9
# What the root holds; a root made for another list is made anew.
root_mark="bookworm minbase wine wine64"
binfmt=/proc/sys/fs/binfmt_misc
mounted_binfmt=0
registered_qemu=0
root_mounts=()
run_dir=

cleanup() {
  local m
  if [ -n "$run_dir" ]; then
    chroot "$arm_root" env -i PATH=/usr/bin:/bin WINEPREFIX="$run_dir/pfx" \
      wineserver -k >/dev/null 2>&1 || true
    rm -rf "${arm_root:?}$run_dir"
  fi
  for ((m = ${#root_mounts[@]} - 1; m >= 0; m--)); do
    umount "${root_mounts[m]}" || echo "test-e2e-arm64: cannot unmount ${root_mounts[m]}" >&2
  done
  [ "$registered_qemu" = 1 ] && echo -1 >"$binfmt/qemu-aarch64"
  [ "$mounted_binfmt" = 1 ] && umount "$binfmt"
  return 0
}
trap cleanup EXIT

# qemu-aarch64 for arm64 programs: the registration of the machine when there
# is one, else ours. The F flag opens the interpreter now, so it serves
# inside the root too; the copy in the root serves a registration without it.
if [ ! -e "$binfmt/register" ]; then
  mount -t binfmt_misc binfmt_misc "$binfmt" || fail "cannot mount binfmt_misc on $binfmt"
  mounted_binfmt=1
fi
if [ ! -e "$binfmt/qemu-aarch64" ]; then
  printf '%s' ':qemu-aarch64:M::\x7fELF\x02\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\xb7\x00:\xff\xff\xff\xff\xff\xff\xff\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:'"$qemu"':F' \
    >"$binfmt/register" || fail "cannot register qemu-aarch64 with binfmt_misc"
  registered_qemu=1
fi
grep -qx enabled "$binfmt/qemu-aarch64" || fail "binfmt_misc's qemu-aarch64 is disabled"

mount_in() {  # TYPE-OR-bind SOURCE TARGET
  if [ "$1" = bind ]; then mount --bind "$2" "$3"; else mount -t "$1" "$2" "$3"; fi
  root_mounts+=("$3")
}
unmount_last() {
  umount "${root_mounts[-1]}"
  unset 'root_mounts[-1]'
}

# Runs a step of making the root with its output in the root's log, shown
# when the step fails.
step() {
  "$@" >>"$arm_root.log" 2>&1 || { tail -n 30 "$arm_root.log" >&2; fail "making the root failed: $*"; }
}

make_root() {
  local fresh=$arm_root.new started
  started=$(date +%s)
  echo "e2e-arm64: making the arm64 root in $arm_root (once; later runs reuse it)"
  rm -rf "$fresh" "$arm_root" "$arm_root.log"
  step debootstrap --arch=arm64 --variant=minbase --foreign bookworm "$fresh" \
    http://deb.debian.org/debian
  cp "$qemu" "$fresh/usr/bin/"
  step chroot "$fresh" /debootstrap/debootstrap --second-stage
  cp /etc/resolv.conf "$fresh/etc/resolv.conf"
  mount_in proc proc "$fresh/proc"
  step chroot "$fresh" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin DEBIAN_FRONTEND=noninteractive \
    sh -c 'apt-get update -qq && apt-get install -y -qq --no-install-recommends wine wine64 && apt-get clean'
  unmount_last
  echo "$root_mark" >"$fresh/.quorvant-root"
  mv "$fresh" "$arm_root"
  echo "e2e-arm64: root made in $(($(date +%s) - started)) s"
}

if [ "$(cat "$arm_root/.quorvant-root" 2>/dev/null)" != "$root_mark" ] ||
   [ ! -x "$arm_root/usr/lib/wine/wine64" ]; then
  make_root
fi
[ "$only_root" = 0 ] || exit 0
cp "$qemu" "$arm_root/usr/bin/"
mount_in proc proc "$arm_root/proc"
mount_in bind /dev "$arm_root/dev"

# The run's folder inside the root: the prefix, the files as they ship and
# the runner.
run_dir=$(mktemp -d "$arm_root/qv-e2e-arm64.XXXXXX")
run_dir=${run_dir#"$arm_root"}
work=$arm_root$run_dir
stage_release "$work/dist"
stage_release "$work/bridge" I386 "$programs/qv_bridge_caller.dll"
stage_runner "$work/run" "$programs"

# A program in the root, with the tier's only environment.
in_root() {
  chroot "$arm_root" env -i HOME=/root PATH=/usr/bin:/bin LC_ALL=C.UTF-8 WINEARCH=win64 \
    WINEPREFIX="$run_dir/pfx" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" "$@"
}
wpath() { printf 'Z:%s' "$(tr / '\\' <<<"$run_dir/$1")"; }

arm_prefix_make() {
  local status=0
  in_root wineboot -i >"$work/wineboot.log" 2>&1 || status=$?
  in_root wineserver -w
  wineboot_fault "$status" "$work/wineboot.log"
}
arm_prefix_remove() {
  in_root wineserver -k >/dev/null 2>&1 || true
  rm -rf "$work/pfx"
}
started=$(date +%s)
prefix_checked e2e-arm64 arm64 arm_prefix_make arm_prefix_remove \
  prefix_fault "$work/pfx/drive_c/windows" system32 in_root wine
echo "e2e-arm64: prefix ready in $(($(date +%s) - started)) s"

# The runner, started in its folder: LIBRARY, then options and groups.
run_e2e() {
  local library=$1
  shift
  in_root sh -c 'cd "$1" && shift && exec wine "$@"' - "$run_dir/run" "$run_dir/run/qv_e2e.exe" \
    "$(wpath "$library")" "$(wpath run/newdev_substitute.dll)" \
    "$(wpath run/newdev_without_entry.dll)" "$@"
}

status=0
echo "e2e-arm64: the ARM64 library from an ARM64 caller"
run_e2e "dist/$arm64_folder/QUORVANT.dll" --qvinst "$(wpath "dist/$arm64_folder/qvinst.exe")" \
  | tr -d '\r' | tee "$work/arm64.log" || status=$?
runner_passed "$work/arm64.log" e2e-arm64 || status=1

# The helper's process is native, as the runner is: the same substitutes
# serve both.
echo "e2e-arm64: $arm64_helper started through the 32-bit library's bridge"
run_e2e bridge/QUORVANT.dll --native-substitute "$(wpath run/newdev_substitute.dll)" \
  --native-without-entry "$(wpath run/newdev_without_entry.dll)" wow64 \
  | tr -d '\r' | tee "$work/bridge.log" || status=$?
runner_passed "$work/bridge.log" e2e-arm64-bridge || status=1
exit "$status"
