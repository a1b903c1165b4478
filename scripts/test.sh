#!/usr/bin/env bash
# Runs every test: host unit tests (ctest, under ASan and UBSan), a short
# fuzz run, the static checks of the built DLL, the end-to-end tier under
# Wine (with an NSIS setup program and qvinst as clients), and a short
# endurance run. Every tier must be there and pass: a missing script fails
# the run.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

tiers=(fuzz static e2e e2e64 endurance)
for tier in "${tiers[@]}"; do
  if [ ! -f "scripts/test-$tier.sh" ]; then
    echo "test: scripts/test-$tier.sh is missing" >&2
    exit 1
  fi
done

bash scripts/build.sh --no-demo

# What a tier could not run on this machine is said where it happens and
# again at the end.
QV_NOT_RUN_LOG=$(mktemp "${TMPDIR:-/tmp}/qv-not-run.XXXXXX")
export QV_NOT_RUN_LOG
trap 'rm -f "$QV_NOT_RUN_LOG"' EXIT

echo "== host unit tests"
ctest --test-dir build/host --output-on-failure -j "$(nproc)"

for tier in "${tiers[@]}"; do
  echo "== $tier"
  bash "scripts/test-$tier.sh"
done

if [ -s "$QV_NOT_RUN_LOG" ]; then
  echo "== not run on this machine"
  cat "$QV_NOT_RUN_LOG"
fi
