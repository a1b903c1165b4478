#!/usr/bin/env bash
# End-to-end tier: dist/QUORVANT.dll under Wine, in a private, throwaway
# 32-bit prefix created for this run. Builds the sample NSIS setup program,
# puts dist/qvinst.exe beside a copy of the library, then runs qv_e2e
# (build/win32/tests/e2e), which prints one line per case and
# "N passed, M failed". Exits non-zero when any case failed.
#
# Needs `bash scripts/build.sh` first. For work on the tier itself,
# QV_E2E_LIBRARY, QV_E2E_QVINST and QV_E2E_PROGRAMS name another library,
# another qvinst.exe and another folder of the test programs.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

library=$(realpath -m "${QV_E2E_LIBRARY:-dist/QUORVANT.dll}")
qvinst=$(realpath -m "${QV_E2E_QVINST:-dist/qvinst.exe}")
programs=$(realpath -m "${QV_E2E_PROGRAMS:-build/win32/tests/e2e}")
source scripts/lib/wine_prefix.sh
if ! runs_32bit_programs; then
  not_run test-e2e "the 32-bit tier: dist/QUORVANT.dll, qvinst.exe and the NSIS setup program in a 32-bit prefix"
  exit 0
fi
require_built test-e2e "$library" "$qvinst" "$programs/qv_e2e.exe" "$programs/newdev_substitute.dll" \
  "$programs/newdev_without_entry.dll"

started=$(date +%s)
wine_prefix_start e2e
tmp=$wine_tmp
# No entry for newdev: the runner switches it through the registry, and an
# entry in this variable would take precedence.
export WINEDLLOVERRIDES="mscoree,mshtml="
echo "e2e: prefix $WINEPREFIX ready in $(( $(date +%s) - started )) s"

echo "e2e: building the sample setup program"
mkdir -p "$tmp/setup"
makensis -V2 -DQUORVANT_DLL="$library" -DSAMPLE_INF="$root/samples/quorvant-sample.inf" \
  -DOUTFILE="$tmp/setup/quorvant-sample-setup.exe" installer/quorvant-sample.nsi

# The runner starts from a folder of its own, beside a newdev.dll that is not
# in the system directory: a library that loaded NEWDEV.DLL by bare name
# would find that one first, and the cases that check where NEWDEV came from
# would see it.
mkdir -p "$tmp/run"
cp "$programs/qv_e2e.exe" "$tmp/run/"
cp "$programs/newdev_substitute.dll" "$tmp/run/newdev.dll"

# qvinst.exe as it ships, beside the library it calls.
mkdir -p "$tmp/qvinst"
cp "$qvinst" "$tmp/qvinst/qvinst.exe"
cp "$library" "$tmp/qvinst/QUORVANT.dll"

status=0
wine "$tmp/run/qv_e2e.exe" "$(winpath "$library")" \
  "$(winpath "$programs/newdev_substitute.dll")" \
  "$(winpath "$programs/newdev_without_entry.dll")" \
  --setup "$(winpath "$tmp/setup/quorvant-sample-setup.exe")" \
  --qvinst "$(winpath "$tmp/qvinst/qvinst.exe")" "$@" \
  | tr -d '\r' | tee "$tmp/e2e.log" || status=$?

runner_passed "$tmp/e2e.log" e2e || status=1
exit "$status"
