#!/usr/bin/env bash
# Sums test results over build directories: a GoogleTest program counts its test cases (from its
# XML report), any other CTest test counts once. A program that failed without a report (it
# crashed) counts as one failure, and so does a test CTest could not start. Prints "passed failed".
set -uo pipefail
passed=0
failed=0
for dir in "$@"; do
  junit="$dir/ctest-junit.xml"
  [ -f "$junit" ] || { failed=$((failed + 1)); continue; }
  # One line per CTest test: name and whether it failed.
  while read -r name outcome; do
    report="$dir/test-reports/$name.xml"
    if [ -f "$report" ]; then
      read -r total bad skipped < <(awk '
        /<testsuites / {
          match($0, / tests="[0-9]+"/); t = substr($0, RSTART + 8, RLENGTH - 9)
          match($0, / failures="[0-9]+"/); f = substr($0, RSTART + 11, RLENGTH - 12)
          match($0, / errors="[0-9]+"/); e = substr($0, RSTART + 9, RLENGTH - 10)
          match($0, / disabled="[0-9]+"/); d = substr($0, RSTART + 11, RLENGTH - 12)
        }
        /result="skipped"/ { s++ }
        END { print t - d, f + e, s + 0 }' "$report")
      passed=$((passed + total - bad - skipped))
      failed=$((failed + bad))
      if [ "$outcome" = failed ] && [ "$bad" -eq 0 ]; then failed=$((failed + 1)); fi
    elif [ "$outcome" = disabled ]; then
      continue
    elif [ "$outcome" = failed ]; then
      failed=$((failed + 1))
    else
      passed=$((passed + 1))
    fi
  done < <(awk '
    /<testcase / {
      match($0, / name="[^"]*"/); name = substr($0, RSTART + 7, RLENGTH - 8)
      # A test CTest could not run (no such program, a missing file) is no pass; a disabled
      # one is not counted at all.
      status = ($0 ~ /status="(fail|notrun)/) ? "failed" : ($0 ~ /status="disabled"/) ? "disabled" : "passed"
      if ($0 ~ /\/>[ \t]*$/) { print name, status; name = "" }
      next
    }
    name != "" && /<failure/ { status = "failed" }
    name != "" && /<\/testcase>/ { print name, status; name = "" }' "$junit")
done
echo "$passed $failed"
