#!/usr/bin/env bash
# Endurance run under Wine: dist/QUORVANT.dll called many times in one
# process, in a private, throwaway 32-bit prefix, the calls taking the
# install, no-driver (-2) and no-device (-1) paths in turn; then as many
# cycles of loading the library, one call and unloading it. The process's
# open handles and private memory are sampled as it goes; growth beyond a
# fixed slack (2 handles over the calls, none over the cycles; 64 KiB) fails
# the run. Prints the samples, one line per check and "N passed, M failed";
# exits non-zero when a check failed. See tests/wine_bench/endurance.cpp.
#
#   bash scripts/test-endurance.sh          # 1,000 calls, 1,000 cycles (part of scripts/test.sh)
#   ENDURANCE_CALLS=10000 ENDURANCE_CYCLES=10000 bash scripts/test-endurance.sh   # the long run
#
# ENDURANCE_SAMPLE_EVERY sets the calls between samples (default: a
# twentieth of the calls). Needs `bash scripts/build.sh` first.
# ENDURANCE_LIBRARY and ENDURANCE_PROGRAMS name another library and another
# win32 build tree than dist/QUORVANT.dll and build/win32.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

calls=${ENDURANCE_CALLS:-1000}
cycles=${ENDURANCE_CYCLES:-1000}
source scripts/lib/wine_prefix.sh
source scripts/lib/machines.sh
x64_folder=$(machine_folder AMD64)
# The 32-bit library; where this machine runs no 32-bit programs, the x64
# library in a 64-bit prefix, so that the run still proves one of them.
library=dist/QUORVANT.dll programs=build/win32 arch=win32
if ! runs_32bit_programs; then
  not_run endurance "the 32-bit library's run; the x64 library's runs instead"
  library=dist/$x64_folder/QUORVANT.dll programs=build/win64 arch=win64
fi
library=$(realpath -m "${ENDURANCE_LIBRARY:-$library}")
programs=$(realpath -m "${ENDURANCE_PROGRAMS:-$programs}")
runner=$programs/tests/wine_bench/qv_endurance.exe
substitute=$programs/tests/e2e/newdev_substitute.dll
require_built test-endurance "$library" "$runner" "$substitute"

started=$(date +%s)
wine_prefix_start endurance "$arch"
echo "endurance: prefix $WINEPREFIX ready in $(( $(date +%s) - started )) s"

status=0
wine "$runner" "$(winpath "$library")" "$(winpath "$substitute")" "$calls" "$cycles" \
  ${ENDURANCE_SAMPLE_EVERY:+"$ENDURANCE_SAMPLE_EVERY"} \
  | tr -d '\r' | tee "$wine_tmp/endurance.log" || status=$?

runner_passed "$wine_tmp/endurance.log" endurance || status=1
exit "$status"
