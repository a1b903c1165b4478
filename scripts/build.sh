#!/usr/bin/env bash
# Builds everything: the host build (conversion, simulated platform, tests,
# benchmarks), the win32, x64 and ARM64 cross builds (QUORVANT.dll, the
# x64 and ARM64 helpers, qvinst and the programs run under Wine), and the
# release in dist/: the 32-bit files at the top with both helpers beside
# them, the x64 and ARM64 ones in their release folders of
# install/bridge/machines.def. Then runs the demo unless --no-demo.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

demo=1
[ "${1:-}" = "--no-demo" ] && demo=0

bash scripts/deps.sh
source scripts/lib/machines.sh
x64_folder=$(machine_folder AMD64) arm64_folder=$(machine_folder ARM64)

jobs=$(nproc)
cmake -S . -B build/host -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQV_SANITIZE=ON >/dev/null
cmake --build build/host -j "$jobs"

for tree in win32:i686 win64:x86_64 arm64:aarch64; do
  cmake -S . -B "build/${tree%%:*}" -G Ninja -DCMAKE_BUILD_TYPE=MinSizeRel \
    -DCMAKE_TOOLCHAIN_FILE="cmake/toolchain-${tree#*:}-w64-mingw32.cmake" >/dev/null
  cmake --build "build/${tree%%:*}" -j "$jobs"
done

rm -rf dist
cmake --install build/win32 --prefix dist >/dev/null
cmake --install build/win64 --prefix "dist/$x64_folder" >/dev/null
cmake --install build/arm64 --prefix "dist/$arm64_folder" >/dev/null
echo "build: dist/ holds: $(cd dist && find . -type f | sort | tr '\n' ' ')"

if [ "$demo" = 1 ] && [ -f scripts/demo.sh ]; then
  bash scripts/demo.sh
fi
