#!/usr/bin/env bash
# Builds a loader fuzz target in build/fuzz (clang; address, undefined and fuzzer instrumentation)
# and runs it on one core for N seconds (default 600) from the seed corpus, then prints a summary.
# Usage: fuzz/run-fuzzer.sh [seconds] [decode_fuzzer|loader_fuzzer|frame_fuzzer]
#   decode_fuzzer (default): the decode path in process, inputs up to 8 KB;
#   loader_fuzzer: through a file and the decoding thread, inputs up to 64 KB;
#   frame_fuzzer: streams of valid frames built from the input's fields, inputs up to 8 KB.
# FUZZ_SANITIZERS=address builds without UBSan (in build/fuzz-asan), about three times faster:
# decoders are usually fuzzed with one sanitizer at a time.
set -euo pipefail

seconds=${1:-600}
target=${2:-decode_fuzzer}
sanitizers=${FUZZ_SANITIZERS:-address;undefined}
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="$top/build/fuzz"
[ "$sanitizers" = address ] && build="$top/build/fuzz-asan"
corpus="$top/build/fuzz-corpus-$target"
artifacts="$build/artifacts"
max_len=65536
[ "$target" != loader_fuzzer ] && max_len=${FUZZ_MAX_LEN:-8192}

CC=clang CXX=clang++ cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DVINTROVE_FUZZ=ON "-DVINTROVE_SANITIZERS=$sanitizers" -DVINTROVE_WERROR=ON >/dev/null
cmake --build "$build" -j1 --target "$target" fuzz_layer1_seeds fuzz_frame_seeds

# Seeds: the committed test files (cut to the input size limit), the layer I files and every
# input that once crashed; for frame_fuzzer its own seeds and finds. A corpus grown by an earlier
# run is kept.
mkdir -p "$corpus" "$artifacts"
if [ "$target" = frame_fuzzer ]; then
  for f in "$build"/fuzz/frame-seeds/* "$top"/fuzz/frame-regressions/*; do
    if [ -f "$f" ]; then cp "$f" "$corpus/seed-$(basename "$f")"; fi
  done
fi
[ "$target" = frame_fuzzer ] || for f in "$top"/tests/data/*.mp3 "$top"/tests/data/*.mp2 "$top"/tests/data/*.txt \
         "$top"/tests/data/*.wav "$build"/fuzz/layer1-seeds/* "$top"/fuzz/regressions/*; do
  [ -f "$f" ] || continue
  case "$f" in *.md) continue ;; esac
  head -c "$max_len" "$f" > "$corpus/seed-$(basename "$f")"
  # The end too, where the trailing tags are.
  if [ "$(stat -c %s "$f")" -gt "$max_len" ]; then
    tail -c "$max_len" "$f" > "$corpus/seed-end-$(basename "$f")"
  fi
done

cd "$build"
rm -f fuzz-0.log
before=$(find "$corpus" -type f | wc -l)
started=$(date +%s)
set +e
"$build/fuzz/$target" "$corpus" -jobs=1 -workers=1 -max_len="$max_len" -timeout=10 \
  -max_total_time="$seconds" -artifact_prefix="$artifacts/" -print_final_stats=1
status=$?
set -e
ended=$(date +%s)

log="$build/fuzz-0.log"
echo "---- summary ----"
echo "duration:        $((ended - started)) s (asked for $seconds s)"
if [ -f "$log" ]; then
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  [ -n "$runs" ] || runs=$(grep -o '^#[0-9]*' "$log" | tail -n 1 | tr -d '#')
  echo "executions:      ${runs:-unknown}"
  echo "exec/s:          $(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -n 1)"
  echo "last status:     $(grep -E '^#[0-9]+' "$log" | tail -n 1)"
fi
echo "corpus:          $before files before, $(find "$corpus" -type f | wc -l) after"
crashes=$(find "$artifacts" -type f \( -name 'crash-*' -o -name 'timeout-*' -o -name 'oom-*' -o -name 'leak-*' \) | wc -l)
echo "crashes:         $crashes (in $artifacts)"
find "$artifacts" -type f -newermt "@$started" -printf '  %f\n'
echo "fuzzer exit:     $status (log: $log)"
