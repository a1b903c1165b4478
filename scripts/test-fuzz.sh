#!/usr/bin/env bash
# Fuzzes the hardware-ID conversion: builds fuzz_idconv with clang, libFuzzer,
# ASan and UBSan in build/fuzz, runs the conversion's unit tests under the same
# sanitizers, then runs the fuzzer on a temporary copy of the seed corpus
# (fuzz/corpus) with the dictionary fuzz/idconv.dict.
#
#   bash scripts/test-fuzz.sh                    # about 30 seconds
#   FUZZ_SECONDS=600 bash scripts/test-fuzz.sh   # a longer run
#
# Prints the number of executions reached. Exits non-zero when a sanitized
# unit test fails or the fuzzer finds something; the
# input that triggered it is kept in build/fuzz/findings/ and can be replayed
# with: build/fuzz/fuzz/fuzz_idconv build/fuzz/findings/<file>
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

seconds=${FUZZ_SECONDS:-30}
build=build/fuzz

CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DQV_FUZZ=ON \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" >/dev/null

failed=0
if [ -x "$build/fuzz/idconv_tests_sanitized" ]; then
  if "$build/fuzz/idconv_tests_sanitized" --gtest_brief=1 >"$build/sanitized-tests.log" 2>&1; then
    echo "fuzz: unit tests under ASan/UBSan passed"
  else
    echo "fuzz: unit tests under ASan/UBSan FAILED:" >&2
    grep -E 'runtime error|ERROR: AddressSanitizer|FAILED|Failure' "$build/sanitized-tests.log" | head -n 20 >&2
    failed=1
  fi
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -R fuzz/corpus "$work/corpus"
findings="$build/findings"
mkdir -p "$findings"

status=0
"$build/fuzz/fuzz_idconv" "$work/corpus" \
  -dict=fuzz/idconv.dict \
  -max_total_time="$seconds" \
  -max_len=4096 \
  -timeout=10 \
  -rss_limit_mb=2048 \
  -print_final_stats=1 \
  -artifact_prefix="$findings/" \
  >"$work/log" 2>&1 || status=$?

executions=$(awk '/stat::number_of_executed_units/ {print $2}' "$work/log")
echo "fuzz: ${executions:-unknown} executions in ${seconds} s, corpus $(ls "$work/corpus" | wc -l) inputs"

if [ "$status" -ne 0 ]; then
  echo "fuzz: FINDING (exit $status); inputs kept in $findings/" >&2
  tail -n 60 "$work/log" >&2
  failed=1
fi
exit "$failed"
