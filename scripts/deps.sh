#!/usr/bin/env bash
# Installs, with apt-get, whatever the build and the tests need and this
# machine lacks. Safe to run again: it does nothing when all is present.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev valgrind
  g++-mingw-w64-i686 binutils-mingw-w64-i686
  g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64
  wine wine32:i386 wine64 nsis
  pci.ids usb.ids hwdata python3 locales
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; else SUDO=; fi

# The Japanese locale, whose code page 932 (double-byte) the WOW64 tier
# runs one group in; made once from the locales package's sources.
make_locales() {
  if ! locale -a 2>/dev/null | grep -qix 'ja_JP.utf8'; then
    echo "deps: making the locale ja_JP.UTF-8"
    $SUDO localedef -i ja_JP -f UTF-8 ja_JP.UTF-8
  fi
}

if [ ${#missing[@]} -eq 0 ]; then
  make_locales
  exit 0
fi

echo "deps: installing ${missing[*]}"
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq "${missing[@]}" >/dev/null
make_locales
