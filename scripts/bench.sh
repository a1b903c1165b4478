#!/usr/bin/env bash
# Builds the host tree in Release and measures the hardware-ID conversion over
# the hardware-ID corpus (every vendor and device of the PCI, USB and PnP ID
# lists): time and heap allocations per conversion (Google Benchmark), and
# instructions per conversion (callgrind: the count of a loop that converts,
# less the count of the same loop converting nothing). Prints one table.
#
#   bash scripts/bench.sh
#
# BENCH_BUILD_DIR sets the build directory (default build/bench). The raw
# results stay in $BENCH_BUILD_DIR/bench-results/. Figures are printed, never
# asserted: the script fails only when something cannot be built or run.
set -euo pipefail
shopt -s inherit_errexit
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

build=${BENCH_BUILD_DIR:-build/bench}
results="$build/bench-results"
median_repeat=10000  # conversions of the median corpus ID per callgrind run

bash scripts/deps.sh

echo "== building ($build, Release)"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" --target bench_idconv idconv_instructions
rm -rf "$results"
mkdir -p "$results"
rows="$results/rows.tsv"
: >"$rows"

# One row of the table: measure, value, unit, target (may be empty).
row() {
  printf '%s\t%s\t%s\t%s\n' "$1" "$2" "$3" "${4:-}" >>"$rows"
}

echo "== Google Benchmark: bench_idconv"
"$build/bench/bench_idconv" --benchmark_repetitions=3 --benchmark_report_aggregates_only=true \
  --benchmark_out="$results/bench_idconv.json" --benchmark_out_format=json

# The median over the repetitions of a counter of one benchmark.
counter() {
  python3 - "$results/bench_idconv.json" "$1" "$2" <<'EOF'
import json, sys
path, name, key = sys.argv[1:]
for b in json.load(open(path))["benchmarks"]:
    if b.get("run_name") == name and b.get("aggregate_name") == "median":
        print(b[key])
        break
else:
    sys.exit("bench.sh: no result for %s" % name)
EOF
}

ns() { awk -v s="$1" 'BEGIN { printf "%.1f", s * 1e9 }'; }
fixed() { awk -v v="$1" 'BEGIN { printf "%.3f", v }'; }
per() { awk -v a="$1" -v b="$2" -v n="$3" 'BEGIN { printf "%.0f", (a - b) / n }'; }

# Callgrind's instruction count of one run of the driver.
instructions() {
  local name=$1
  shift
  valgrind --tool=callgrind --collect-atstart=no --callgrind-out-file="$results/callgrind.$name" \
    "$@" >/dev/null 2>"$results/callgrind.$name.log"
  sed -n 's/^summary: //p' "$results/callgrind.$name"
}

echo "== callgrind: idconv_instructions"
driver="$build/bench/idconv_instructions"
calls_only="--toggle-collect=idconv::build_compact_id*"
corpus_size=$("$driver" corpus none)
median_built=$(instructions median-build "$driver" median build "$median_repeat")
median_none=$(instructions median-none "$driver" median none "$median_repeat")
median_calls=$(instructions median-calls "$calls_only" "$driver" median calls "$median_repeat")
corpus_built=$(instructions corpus-build "$driver" corpus build)
corpus_none=$(instructions corpus-none "$driver" corpus none)
corpus_calls=$(instructions corpus-calls "$calls_only" "$driver" corpus calls)

median_id=$(python3 -c 'import json,sys; print(json.load(open(sys.argv[1]))["context"]["median_id"])' \
  "$results/bench_idconv.json")

build_corpus_time=$(counter build_compact_id/corpus time_per_id)
build_median_time=$(counter build_compact_id/median time_per_id)
search_step_time=$(counter search_step/corpus time_per_id)
match_time=$(counter compact_ids_match/corpus time_per_id)
build_corpus_allocs=$(counter build_compact_id/corpus allocs_per_id)
build_median_allocs=$(counter build_compact_id/median allocs_per_id)
match_allocs=$(counter compact_ids_match/corpus allocs_per_id)

row "corpus" "$corpus_size" "IDs"
row "conversion time, whole corpus" "$(ns "$build_corpus_time")" "ns/ID"
row "conversion time, median ID" "$(ns "$build_median_time")" "ns/ID"
row "conversion + match per device (search step)" "$(ns "$search_step_time")" "ns/ID"
row "match time, wanted ID vs every device" "$(ns "$match_time")" "ns/match"
row "heap allocations, whole corpus" "$(fixed "$build_corpus_allocs")" "per ID" "<= 0"
row "heap allocations, median ID" "$(fixed "$build_median_allocs")" "per ID" "<= 0"
row "heap allocations per match" "$(fixed "$match_allocs")" "per match"
row "instructions, median ID (incl. releasing the result)" \
  "$(per "$median_built" "$median_none" "$median_repeat")" "per conversion" "<= 400"
row "  of which the call alone (result not released)" "$(per "$median_calls" 0 "$median_repeat")" \
  "per conversion"
row "instructions, corpus mean (incl. releasing the result)" \
  "$(per "$corpus_built" "$corpus_none" "$corpus_size")" "per conversion"
row "  of which the call alone (result not released)" "$(per "$corpus_calls" 0 "$corpus_size")" \
  "per conversion"

# ---- Wine rows ---------------------------------------------------------------
# The device-search benchmark under Wine and the endurance run add their rows
# here. scripts/bench-wine.sh, when it exists, is run with BENCH_RESULTS_DIR
# set to the results directory; every line it prints on stdout is one row of
# the table, as  measure<TAB>value<TAB>unit<TAB>target  (target may be empty).
# Its progress and diagnostics go to stderr.
wine_rows() {
  if [ -f scripts/bench-wine.sh ]; then
    echo "== Wine: scripts/bench-wine.sh"
    BENCH_RESULTS_DIR="$results" bash scripts/bench-wine.sh >>"$rows"
  fi
}
wine_rows
# ------------------------------------------------------------------------------

echo
echo "== hardware-ID conversion ($(uname -m), $(nproc) CPUs; callgrind counts are exact, times vary)"
echo "median corpus ID (by length): $median_id"
# A target "<= N" gets "met" or "MISSED" from the value (a number: a part
# not run on this machine says so in its value).
awk -F '\t' '
  $4 ~ /^<= / && $2 ~ /^-?[0-9.]+$/ { $4 = $4 (($2 + 0 <= substr($4, 4) + 0) ? " met" : " MISSED") }
  { for (i = 1; i <= 4; i++) { cell[NR, i] = $i; if (length($i) > w[i]) w[i] = length($i) } }
  END {
    head[1] = "measure"; head[2] = "value"; head[3] = "unit"; head[4] = "target"
    for (i = 1; i <= 4; i++) if (length(head[i]) > w[i]) w[i] = length(head[i])
    line = sprintf("%-" w[1] "s | %" w[2] "s | %-" w[3] "s | %s", head[1], head[2], head[3], head[4])
    print line
    gsub(/./, "-", line); print line
    for (r = 1; r <= NR; r++)
      printf "%-" w[1] "s | %" w[2] "s | %-" w[3] "s | %s\n", cell[r, 1], cell[r, 2], cell[r, 3], cell[r, 4]
  }' "$rows"
