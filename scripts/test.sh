#!/usr/bin/env bash
# Runs every test: host unit tests (ctest, under ASan and UBSan), a short
# fuzz run, the static checks of the built DLLs, the end-to-end tiers under
# Wine (with an NSIS setup program and qvinst as clients; x86 and x64 here,
# ARM64 under an arm64 Wine run by qemu), and a short endurance run. Every tier must be there and pass: a missing script fails
# the run.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

tiers=(fuzz static e2e e2e64 e2e-arm64 endurance)
for tier in "${tiers[@]}"; do
  if [ ! -f "scripts/test-$tier.sh" ]; then
    echo "test: scripts/test-$tier.sh is missing" >&2
    exit 1
  fi
done

bash scripts/deps.sh
source scripts/lib/wine_prefix.sh

# What a tier could not run on this machine is said where it happens and
# again at the end.
QV_NOT_RUN_LOG=$(mktemp "${TMPDIR:-/tmp}/qv-not-run.XXXXXX")
export QV_NOT_RUN_LOG
roots_log=$(mktemp -d "${TMPDIR:-/tmp}/qv-roots.XXXXXX")
root_jobs=()
root_log() { echo "$roots_log/${1//\//_}.log"; }
finish() {
  wait "${root_jobs[@]}" 2>/dev/null || true
  rm -rf "$QV_NOT_RUN_LOG" "$roots_log"
}
trap finish EXIT

# The roots that the ARM64 tier and the x86 machine run in are made, when
# they are not yet, while the build runs: mostly downloading and unpacking,
# they need little of what the build needs. A root that fails here is made
# again by its tier, which then fails loudly.
if [ "$(id -u)" -eq 0 ]; then
  roots=("scripts/test-e2e-arm64.sh")
  runs_32bit_programs || roots+=("scripts/lib/vm32.sh")
  for script in "${roots[@]}"; do
    bash "$script" --root >"$(root_log "$script")" 2>&1 &
    root_jobs+=($!)
  done
fi

bash scripts/build.sh --no-demo

for job in "${!root_jobs[@]}"; do
  script=${roots[job]}
  if wait "${root_jobs[job]}"; then
    grep -h 'root made in' "$(root_log "$script")" || true
  else
    echo "test: $script --root failed; its tier makes the root again:" >&2
    tail -n 20 "$(root_log "$script")" >&2
  fi
done
root_jobs=()

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
