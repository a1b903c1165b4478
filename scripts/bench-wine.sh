#!/usr/bin/env bash
# The benchmarks under Wine, run by scripts/bench.sh for its table (each line
# on stdout is one row: measure<TAB>value<TAB>unit<TAB>target; progress and
# the programs' own output go to stderr):
#
# - Device search: in a private, throwaway prefix, 250, 500, 1,000 and 2,000
#   bench devices are created in turn (in one process), and at each size the
#   library's call for a compact ID that matches no device is timed against a
#   bare walk making the same Setup API calls without the conversion,
#   interleaved, BENCH_SEARCH_REPETITIONS times each (default 15); the
#   medians give the ratio (target <= 1.05) and the time per device.
#   See tests/wine_bench/search_bench.cpp.
# - The 64-bit helper: in a 64-bit prefix, the 32-bit library's call
#   through the x64 helper against the same call in process and against the
#   floor of any helper, a bare 64-bit process started and waited for from
#   the 32-bit one, interleaved BENCH_HELPER_REPETITIONS times (default 15);
#   target: the helper adds at most 100 ms per call. See
#   tests/wine_bench/helper_bench.cpp.
# - qvinst drivers: in a 64-bit prefix, one device and INFs of 2,000, 5,000
#   and 20,000 model lines that name it; dist/x64/qvinst.exe drivers
#   against the x64 library's own call on the same INF (qv_device call),
#   each timed once per size. Target: drivers takes at most twice the
#   library's call.
# - Endurance: scripts/test-endurance.sh with BENCH_ENDURANCE_CALLS calls
#   (default 10,000); the growth of open handles, committed private memory
#   and heap bytes in use against the run's fixed slack, and the time per
#   call.
#
#   bash scripts/bench-wine.sh      (or bash scripts/bench.sh for the whole table)
#
# BENCH_WINE_PARTS names the parts to run (default: endurance helper search
# drivers); BENCH_DRIVER_LINES the INF sizes of the drivers part.
#
# On a machine that runs no 32-bit programs the search runs the x64 library
# and the x64 benchmark in a 64-bit prefix, and the helper part, whose
# caller is a 32-bit process, is given as not run.
#
# About two minutes on an idle machine. Measures dist/QUORVANT.dll as the
# last build left it, and brings the programs in build/win32 up to date;
# runs bash scripts/build.sh --no-demo first when there is no
# dist/QUORVANT.dll or no win32 build. BENCH_RESULTS_DIR keeps the programs'
# output (default: a temporary folder, removed). Figures are printed, never
# asserted: the script fails only when something cannot be built or run.
set -euo pipefail
shopt -s inherit_errexit
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

repetitions=${BENCH_SEARCH_REPETITIONS:-15}
endurance_calls=${BENCH_ENDURANCE_CALLS:-10000}
sizes=(250 500 1000 2000)
library=$root/dist/QUORVANT.dll
source scripts/lib/wine_prefix.sh
source scripts/lib/machines.sh
x64_folder=$(machine_folder AMD64) x64_helper=$(machine_helper AMD64)
# The search's library, benchmark and prefix: the 32-bit ones, or the x64
# ones where no 32-bit program runs.
search_library=$library search_tree=win32 search_arch=win32 search_label="Wine search"
if ! runs_32bit_programs; then
  search_library=$root/dist/$x64_folder/QUORVANT.dll search_tree=win64 search_arch=win64
  search_label="Wine search (x64 library)"
fi
search_bench=$root/build/$search_tree/tests/wine_bench/qv_search_bench.exe
# The library as the last build left it in dist/; the programs brought up to
# date in the win32 tree (a no-op when they are).
if [ ! -f "$library" ] || [ ! -f build/win32/build.ninja ]; then
  echo "bench-wine: no dist/QUORVANT.dll or win32 build; building" >&2
  bash scripts/build.sh --no-demo >&2
fi
cmake --build build/win32 --target qv_search_bench qv_endurance qv_helper_bench newdev_substitute >&2
cmake --build build/win64 --target "${x64_helper%.exe}" newdev_substitute qv_device qv_search_bench >&2

if [ -n "${BENCH_RESULTS_DIR:-}" ]; then
  results=$BENCH_RESULTS_DIR
  mkdir -p "$results"
else
  results=$(mktemp -d "${TMPDIR:-/tmp}/qv-bench-wine.XXXXXX")
  trap 'rm -rf "$results"' EXIT
fi

parts=" ${BENCH_WINE_PARTS:-endurance helper search drivers} "
part() { [[ $parts == *" $1 "* ]]; }
row() { printf '%s\t%s\t%s\t%s\n' "$1" "$2" "$3" "${4:-}"; }
# The value of key=... on a "result" line.
field() { sed -n "s/.*[ ]$2=\([^ ]*\).*/\1/p" <<<"$1"; }

if part endurance; then
# ---- endurance: its own prefix, before the search bench fills one with devices
echo "bench-wine: endurance, $endurance_calls calls" >&2
started=$(date +%s)
endurance_status=0
ENDURANCE_CALLS=$endurance_calls bash scripts/test-endurance.sh \
  >"$results/endurance.log" 2>&1 || endurance_status=$?
cat "$results/endurance.log" >&2
endurance_seconds=$(( $(date +%s) - started ))
endurance=$(grep '^result ' "$results/endurance.log" || true)
if [ -z "$endurance" ]; then
  echo "bench-wine: the endurance run gave no result (exit $endurance_status)" >&2
  exit 1
fi
failed_checks=$(tail -n 1 "$results/endurance.log" \
  | sed -n 's/^[0-9]* passed, \([0-9]*\) failed$/\1/p')
if [ -z "$failed_checks" ]; then
  echo "bench-wine: the endurance run ended without its closing line" >&2
  exit 1
fi


row "Wine endurance, $endurance_calls calls: handle growth" \
  "$(field "$endurance" handle_growth)" "handles" "<= $(field "$endurance" handle_slack)"
row "Wine endurance, $endurance_calls calls: committed private memory growth" \
  "$(field "$endurance" private_growth)" "bytes" "<= $(field "$endurance" private_slack)"
row "Wine endurance, $endurance_calls calls: heap bytes in use growth" \
  "$(field "$endurance" heap_growth)" "bytes" "<= $(field "$endurance" heap_slack)"
row "Wine endurance: time per call (install, -2, -1 in turn)" \
  "$(field "$endurance" us_per_call)" "us/call"
row "Wine endurance: failed checks" "$failed_checks" "checks" "<= 0"
row "Wine endurance, whole run (prefix, calls, samples)" "$endurance_seconds" "s"
fi

if part helper && ! runs_32bit_programs; then
not_run bench-wine "the 64-bit helper's benchmark (its caller is a 32-bit process)"
row "Wine x64: 32-bit call through $x64_helper (a 32-bit caller: this machine runs none)" \
  "NOT RUN" ""
elif part helper; then
# ---- the 64-bit helper: a 64-bit prefix of its own
helper_repetitions=${BENCH_HELPER_REPETITIONS:-15}
echo "bench-wine: the 64-bit helper against the call in process, $helper_repetitions runs each" >&2
(
  wine_prefix_start helper-bench win64
  mkdir -p "$wine_tmp/x86"
  cp "$library" "$root/build/win64/install/$x64_helper" "$wine_tmp/x86/"
  wine "$root/build/win32/tests/wine_bench/qv_helper_bench.exe" "$(winpath "$wine_tmp/x86/QUORVANT.dll")" \
    "$(winpath "$root/build/win32/tests/e2e/newdev_substitute.dll")" \
    "$(winpath "$root/build/win64/tests/e2e/newdev_substitute.dll")" "$helper_repetitions" | tr -d '\r'
) >"$results/helper.log" 2>&1 || {
  cat "$results/helper.log" >&2
  echo "bench-wine: the helper benchmark failed" >&2
  exit 1
}
cat "$results/helper.log" >&2
helper=$(grep '^result ' "$results/helper.log")
row "Wine x64: 32-bit call through $x64_helper" "$(field "$helper" helper_ms)" "ms/call"
row "Wine x64: the same call in process (refused at the installer)" "$(field "$helper" in_process_ms)" "ms/call"
row "Wine x64: what the helper adds" "$(field "$helper" overhead_ms)" "ms/call" "<= 100"
row "Wine x64: a bare 64-bit process started and waited for from a 32-bit one" \
  "$(field "$helper" bare_start_ms)" "ms"
fi

if part search; then
# ---- search: a prefix of its own, devices added size by size
echo "bench-wine: device search, ${sizes[*]} devices, $repetitions interleaved runs each" >&2
started=$(date +%s)
(
  wine_prefix_start search-bench "$search_arch"
  wine "$search_bench" "$(winpath "$search_library")" --repetitions "$repetitions" "${sizes[@]}" \
    | tr -d '\r'
) >"$results/search.log" 2>&1 || {
  cat "$results/search.log" >&2
  echo "bench-wine: the search benchmark failed" >&2
  exit 1
}
cat "$results/search.log" >&2
search_seconds=$(( $(date +%s) - started ))

first=""
last=""
for size in "${sizes[@]}"; do
  line=$(grep "^result size=$size " "$results/search.log" || true)
  if [ -z "$line" ]; then
    echo "bench-wine: no search result for $size devices" >&2
    exit 1
  fi
  [ -n "$first" ] || first=$line
  last=$line
  present=$(field "$line" present)
  row "$search_label, $size devices ($present present): library / bare walk" \
    "$(field "$line" ratio)" "ratio" "<= 1.05"
  row "  library time per device" "$(field "$line" library_us_per_device)" "us/device"
  row "  bare walk time per device" "$(field "$line" bare_us_per_device)" "us/device"
  row "  library - bare walk per device (pairs' median; noise of a few us)" \
    "$(field "$line" excess_us_per_device)" "us/device"
done
# How much the time per device grew from the smallest size to the largest.
growth() {
  awk -v a="$(field "$last" "$1")" -v b="$(field "$first" "$1")" 'BEGIN { printf "%.2f", a / b }'
}
row "$search_label, time per device at ${sizes[-1]} / at ${sizes[0]} devices, library" \
  "$(growth library_us_per_device)" "x (1 = linear)"
row "  the same, bare walk" "$(growth bare_us_per_device)" "x (1 = linear)"
# The devices are added size by size; the creation times add up.
created_s=$(grep '^result ' "$results/search.log" | sed 's/.* create_s=\([^ ]*\).*/\1/' \
  | awk '{ s += $1 } END { printf "%.2f", s }')
row "$search_label, creating ${sizes[-1]} devices in one process" "$created_s" "s"
row "$search_label, whole run (prefix, devices, $repetitions x 2 walks per size)" \
  "$search_seconds" "s"
fi

if part drivers; then
# ---- qvinst drivers: one device, INFs of growing size that name it
read -ra driver_sizes <<<"${BENCH_DRIVER_LINES:-2000 5000 20000}"
echo "bench-wine: qvinst drivers against the library's call, ${driver_sizes[*]} model lines" >&2
(
  wine_prefix_start drivers-bench win64
  hwid='PCI\VEN_5156&DEV_0B0B&SUBSYS_00015156'
  qv_device="$root/build/win64/tests/e2e/qv_device.exe"
  wine "$qv_device" create "$hwid" >/dev/null
  seconds() { local t=$(date +%s.%N); "$@" >/dev/null 2>&1 || true; awk -v a="$t" -v b="$(date +%s.%N)" 'BEGIN { printf "%.2f", b - a }'; }
  for size in "${driver_sizes[@]}"; do
    inf="$wine_tmp/lines-$size.inf"
    { printf '[Version]\nSignature="$Windows NT$"\nClass=System\n'
      printf 'ClassGuid={4d36e97d-e325-11ce-bfc1-08002be10318}\nProvider=Bench\n'
      printf 'DriverVer=01/01/2024,1.0.0.0\n[Manufacturer]\nBench=Models,NTamd64\n[Models.NTamd64]\n'
      awk -v n="$size" -v id="$hwid" 'BEGIN { for (i = 0; i < n; i++) printf "\"Bench device %d\"=Install_%d,%s\n", i, i % 2, id }'
      printf '[Install_0]\n[Install_1]\n'; } >"$inf"
    library_s=$(seconds wine "$qv_device" call "$(winpath "$root/dist/$x64_folder/QUORVANT.dll")" \
      "$(winpath "$inf")" PCI51560B0B51560001)
    drivers_s=$(seconds wine "$root/dist/$x64_folder/qvinst.exe" drivers "$(winpath "$inf")" \
      PCI51560B0B51560001)
    echo "result lines=$size drivers_s=$drivers_s library_s=$library_s"
  done
) >"$results/drivers.log" 2>&1 || {
  cat "$results/drivers.log" >&2
  echo "bench-wine: the drivers benchmark failed" >&2
  exit 1
}
cat "$results/drivers.log" >&2
for line in $(grep -o 'lines=[0-9]*' "$results/drivers.log" | cut -d= -f2); do
  result=$(grep "^result lines=$line " "$results/drivers.log")
  row "Wine qvinst drivers, $line model lines naming the device" "$(field "$result" drivers_s)" "s"
  row "  the library's call on the same INF" "$(field "$result" library_s)" "s"
  row "  drivers / the library's call" "$(awk -v a="$(field "$result" drivers_s)" \
    -v b="$(field "$result" library_s)" 'BEGIN { printf "%.2f", a / b }')" "ratio" "<= 2"
done
fi

