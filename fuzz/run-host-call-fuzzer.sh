#!/usr/bin/env bash
# Builds the host-call fuzzer and runs it on one core for N seconds (default 1800) from its
# regressions, then prints a summary. "asan" (the default): address and undefined behaviour in
# build/fuzz; "tsan": the three-thread variant under ThreadSanitizer in build/fuzz-tsan.
# Usage: fuzz/run-host-call-fuzzer.sh [seconds] [asan|tsan]
set -euo pipefail

seconds=${1:-1800}
kind=${2:-asan}
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
if [ "$kind" = tsan ]; then
  build="$top/build/fuzz-tsan"; sanitizers="thread"; target=host_call_threads_fuzzer
else
  build="$top/build/fuzz"; sanitizers="address;undefined"; target=host_call_fuzzer
fi
corpus="$build/host-call-corpus"
artifacts="$build/host-call-artifacts"
log="$build/host-call-fuzz.log"

CC=clang CXX=clang++ cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DVINTROVE_FUZZ=ON "-DVINTROVE_SANITIZERS=$sanitizers" -DVINTROVE_WERROR=ON >/dev/null
cmake --build "$build" -j1 --target "$target"

mkdir -p "$corpus" "$artifacts"
cp "$top"/fuzz/host-call-regressions/* "$corpus/"
before=$(find "$corpus" -type f | wc -l)
started=$(date +%s)
# The coverage counters are libFuzzer's, bumped by every thread without atomics.
export TSAN_OPTIONS="suppressions=$top/fuzz/host-call-tsan.supp ${TSAN_OPTIONS:-}"
set +e
"$build/fuzz/$target" "$corpus" -max_len=4096 -timeout=20 -max_total_time="$seconds" \
  -artifact_prefix="$artifacts/" -print_final_stats=1 >"$log" 2>&1
status=$?
set -e

echo "---- summary ($kind) ----"
echo "duration:        $(($(date +%s) - started)) s (asked for $seconds s)"
echo "executions:      $(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)"
echo "exec/s:          $(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -n 1)"
echo "last status:     $(grep -E '^#[0-9]+' "$log" | tail -n 1)"
echo "corpus:          $before files before, $(find "$corpus" -type f | wc -l) after"
echo "failures:        $(find "$artifacts" -type f -newermt "@$started" | wc -l) new in $artifacts"
echo "fuzzer exit:     $status (log: $log)"
