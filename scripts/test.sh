#!/usr/bin/env bash
# Runs every test: host unit tests (ctest, under ASan and UBSan), a short
# fuzz run, the static checks of the built DLL, the end-to-end tier under
# Wine (with an NSIS setup program as client), a short endurance run, and
# qvinst under Wine.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

bash scripts/build.sh --no-demo

echo "== host unit tests"
ctest --test-dir build/host --output-on-failure -j "$(nproc)"

for step in fuzz static e2e endurance qvinst; do
  if [ -f "scripts/test-$step.sh" ]; then
    echo "== $step"
    bash "scripts/test-$step.sh"
  fi
done
