#!/usr/bin/env bash
# Builds the state record fuzzer in build/fuzz (clang; address, undefined and fuzzer
# instrumentation), runs it on one core for N seconds (default 600) from its seeds and prints a
# summary. Usage: fuzz/run-state-fuzzer.sh [seconds]
set -euo pipefail

seconds=${1:-600}
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="$top/build/fuzz"
corpus="$build/state-corpus"
artifacts="$build/state-artifacts"
log="$build/state-fuzz.log"

CC=clang CXX=clang++ cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DVINTROVE_FUZZ=ON "-DVINTROVE_SANITIZERS=address;undefined" -DVINTROVE_WERROR=ON >/dev/null
cmake --build "$build" -j1 --target state_fuzzer fuzz_state_seeds

# Seeds: the records write_state_seeds makes, two files that are no record at all, and every
# input that once failed. A corpus grown by an earlier run is kept.
mkdir -p "$corpus" "$artifacts"
for f in "$build"/fuzz/state-seeds/* "$top"/fuzz/state-regressions/* \
         "$top"/tests/data/not_mpeg.txt "$top"/tests/data/random_bytes.mp3; do
  [ -f "$f" ] && head -c 16384 "$f" > "$corpus/seed-$(basename "$f")"
done

before=$(find "$corpus" -type f | wc -l)
started=$(date +%s)
set +e
"$build/fuzz/state_fuzzer" "$corpus" -max_len=16384 -timeout=10 -max_total_time="$seconds" \
  -artifact_prefix="$artifacts/" -print_final_stats=1 >"$log" 2>&1
status=$?
set -e

echo "---- summary ----"
echo "duration:        $(($(date +%s) - started)) s (asked for $seconds s)"
echo "executions:      $(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)"
echo "exec/s:          $(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -n 1)"
echo "last status:     $(grep -E '^#[0-9]+' "$log" | tail -n 1)"
echo "corpus:          $before files before, $(find "$corpus" -type f | wc -l) after"
echo "failures:        $(find "$artifacts" -type f -newermt "@$started" | wc -l) new in $artifacts"
echo "fuzzer exit:     $status (log: $log)"
