#!/usr/bin/env bash
# Builds every flavour and runs every test: native (AddressSanitizer and UBSan), the threading
# tests again under ThreadSanitizer, win32 and win64 under Wine on a virtual display. Ends with
# one plain line: "N passed, N failed".
set -uo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$top"
source scripts/common.sh

scripts/setup.sh || { echo "0 passed, 1 failed"; exit 1; }
trap stop_background EXIT

flavours=(native tsan win32 win64)
build_failures=0
ran=()
for flavour in "${flavours[@]}"; do
  echo "== build $flavour"
  started=$SECONDS
  if build_flavour "$flavour"; then
    echo "run: built $flavour in $((SECONDS - started)) s"
    ran+=("$flavour")
  else
    echo "run: the $flavour build failed"
    build_failures=$((build_failures + 1))
  fi
done

start_virtual_display
start_wine

for flavour in "${ran[@]}"; do
  dir=$(flavour_dir "$flavour")
  echo "== test $flavour"
  rm -rf "$dir/test-reports" "$dir/ctest-junit.xml"
  selection=()
  [ "$flavour" = tsan ] && selection=(-R "^($(IFS='|'; echo "${tsan_tests[*]}"))\$")
  started=$SECONDS
  ctest --test-dir "$dir" -j "$jobs" --timeout 300 --output-on-failure --output-junit "$dir/ctest-junit.xml" "${selection[@]}"
  echo "run: tested $flavour in $((SECONDS - started)) s"
done

totals=$(scripts/test-summary.sh "${ran[@]/#/$top/build/}")
read -r passed failed <<<"$totals"
failed=$((failed + build_failures))
# A program that CTest waited for well past its own report counts as one failure.
scripts/test-overhead.sh "${ran[@]/#/$top/build/}" || failed=$((failed + 1))

# The release zip: per width the plug-in, our host and the counting build, the README for
# musicians, the decoder's licence notices; unpacked, it validates itself.
echo "== release"
started=$SECONDS
if [[ " ${ran[*]} " == *" win32 "* && " ${ran[*]} " == *" win64 "* ]] && scripts/release.sh --verify; then
  passed=$((passed + 1))
else
  failed=$((failed + 1))
fi
echo "run: release checked in $((SECONDS - started)) s; $SECONDS s in all"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ] && [ "$passed" -gt 0 ]
