#!/usr/bin/env bash
# Compares, for every GoogleTest program of the given build directories, the time CTest took
# with the time the program's own report gives. A large gap means something kept the program's
# output open after it ended (a process it started) and held a CTest slot for nothing.
# Prints one line per program that exceeds the limit and, last, "overhead: largest N s (name)";
# exits 1 when any program exceeds the limit (seconds, default 10).
set -uo pipefail
limit=${VINTROVE_OVERHEAD_LIMIT:-10}
worst=0
worst_name=none
status=0
for dir in "$@"; do
  junit="$dir/ctest-junit.xml"
  [ -f "$junit" ] || continue
  while read -r name ctest_time; do
    report="$dir/test-reports/$name.xml"
    [ -f "$report" ] || continue
    own=$(awk '/<testsuites / { match($0, / time="[0-9.]+"/); print substr($0, RSTART + 7, RLENGTH - 8); exit }' "$report")
    [ -n "$own" ] || continue
    gap=$(awk -v c="$ctest_time" -v o="$own" 'BEGIN { printf "%.2f", c - o }')
    label="$(basename "$dir")/$name"
    if awk -v g="$gap" -v w="$worst" 'BEGIN { exit !(g > w) }'; then worst=$gap; worst_name=$label; fi
    if awk -v g="$gap" -v l="$limit" 'BEGIN { exit !(g > l) }'; then
      echo "overhead: $label took ${ctest_time} s under CTest, its own report ${own} s"
      status=1
    fi
  done < <(awk '/<testcase / {
      match($0, / name="[^"]*"/); n = substr($0, RSTART + 7, RLENGTH - 8)
      match($0, / time="[0-9.]+"/); t = substr($0, RSTART + 7, RLENGTH - 8)
      print n, t }' "$junit")
done
echo "overhead: largest ${worst} s ($worst_name)"
exit "$status"
