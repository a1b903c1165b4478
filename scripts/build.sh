#!/usr/bin/env bash
# Builds everything: the host build (conversion, simulated platform, tests,
# benchmarks), the win32 cross build (QUORVANT.dll and the programs run under
# Wine), and the release in dist/. Then runs the demo unless --no-demo.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

demo=1
[ "${1:-}" = "--no-demo" ] && demo=0

bash scripts/deps.sh

jobs=$(nproc)
cmake -S . -B build/host -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQV_SANITIZE=ON >/dev/null
cmake --build build/host -j "$jobs"

cmake -S . -B build/win32 -G Ninja -DCMAKE_BUILD_TYPE=MinSizeRel \
  -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-i686-w64-mingw32.cmake >/dev/null
cmake --build build/win32 -j "$jobs"

rm -rf dist
cmake --install build/win32 --prefix dist >/dev/null
echo "build: dist/ holds: $(cd dist && find . -type f | sort | tr '\n' ' ')"

if [ "$demo" = 1 ] && [ -f scripts/demo.sh ]; then
  bash scripts/demo.sh
fi
