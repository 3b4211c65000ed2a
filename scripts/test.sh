#!/usr/bin/env bash
# Builds every flavour and runs every test: native (AddressSanitizer and UBSan), the threading
# tests again under ThreadSanitizer, win32 and win64 under Wine on virtual displays. Ends with
# one plain line: "N passed, N failed".
set -uo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$top"
source scripts/common.sh

scripts/setup.sh || { echo "0 passed, 1 failed"; exit 1; }
trap stop_background EXIT

flavours=(native tsan win32 win64)
untested=0
built=()
ran=()
for flavour in "${flavours[@]}"; do
  echo "== build $flavour"
  started=$SECONDS
  targets=()
  if [ "$flavour" = win32 ] && ! runs_32bit_programs; then
    echo "run: win32 tests not run: $no_32bit_reason; building what the release ships of it"
    targets=("${shipped_targets[@]}")
  fi
  if build_flavour "$flavour" "${targets[@]}"; then
    echo "run: built $flavour in $((SECONDS - started)) s"
    built+=("$flavour")
    [ ${#targets[@]} -eq 0 ] && ran+=("$flavour")
  else
    echo "run: the $flavour build failed"
    untested=$((untested + 1))
  fi
done

test_flavour() {
  local flavour=$1 dir started selection=()
  dir=$(flavour_dir "$flavour")
  rm -rf "$dir/test-reports" "$dir/ctest-junit.xml"
  [ "$flavour" = tsan ] && selection=(-R "^($(IFS='|'; echo "${tsan_tests[*]}"))\$")
  started=$SECONDS
  ctest --test-dir "$dir" -j "$jobs" --timeout 300 --output-on-failure --output-junit "$dir/ctest-junit.xml" "${selection[@]}"
  echo "run: tested $flavour in $((SECONDS - started)) s"
}

# The release zip: per width the plug-in, our host and the counting build, the README for
# musicians, the decoder's licence notices; unpacked, it validates itself. It runs beside the
# Windows tests, on a display and in a Wine prefix of its own.
release_pid=""
start_release_check() {
  [[ " ${built[*]} " == *" win32 "* && " ${built[*]} " == *" win64 "* ]] || return 0
  (
    unset VINTROVE_DISPLAY_STARTED
    started=$SECONDS
    scripts/release.sh --verify
    status=$?
    echo "run: release checked in $((SECONDS - started)) s"
    exit $status
  ) >"$top/build/release-check.txt" 2>&1 &
  release_pid=$!
}

# The two Windows flavours run side by side, each on a display and in a Wine prefix of its own:
# their GUI tests drive the pointer and the keyboard, which one display has only one of, and they
# spend most of their time waiting for windows rather than computing. The Linux flavours go
# first, on their own, as their tests compute throughout.
windows=()
for flavour in "${ran[@]}"; do
  case "$flavour" in
    win*) windows+=("$flavour") ;;
    *) echo "== test $flavour"; test_flavour "$flavour" ;;
  esac
done
# A flavour without a display cannot run its tests: it counts as one failure, and it leaves the
# summary, which would otherwise read what an earlier run left in its folder.
declare -A display_of prefix_of
displayed=()
for flavour in "${windows[@]}"; do
  if [ ${#displayed[@]} -eq 0 ] && start_virtual_display; then
    display_of[$flavour]=$DISPLAY
    prefix_of[$flavour]=$VINTROVE_WINEPREFIX
  elif [ ${#displayed[@]} -gt 0 ] && new_display; then
    display_of[$flavour]=":$display_number"
    prefix_of[$flavour]="$top/build/wineprefix-$flavour"
  else
    echo "run: no virtual display for $flavour, so its tests did not run"
    untested=$((untested + 1))
    mapfile -t ran < <(printf '%s\n' "${ran[@]}" | grep -vx "$flavour")
    continue
  fi
  displayed+=("$flavour")
done
windows=("${displayed[@]}")
[ ${#windows[@]} -gt 0 ] || start_release_check
if [ ${#windows[@]} -gt 0 ]; then
  pids=()
  for flavour in "${windows[@]}"; do
    (export DISPLAY=${display_of[$flavour]}; start_wine "${prefix_of[$flavour]}") &
    pids+=($!)
    wine_prefixes+=("${prefix_of[$flavour]}")
  done
  wait "${pids[@]}"
  start_release_check
  pids=()
  for flavour in "${windows[@]}"; do
    (
      export DISPLAY=${display_of[$flavour]} WINEPREFIX=${prefix_of[$flavour]} VINTROVE_WINEPREFIX=${prefix_of[$flavour]}
      test_flavour "$flavour"
    ) >"$(flavour_dir "$flavour")/test-output.txt" 2>&1 &
    pids+=($!)
  done
  wait "${pids[@]}"
  for flavour in "${windows[@]}"; do
    echo "== test $flavour (on display ${display_of[$flavour]})"
    cat "$(flavour_dir "$flavour")/test-output.txt"
  done
fi

totals=$(scripts/test-summary.sh "${ran[@]/#/$top/build/}")
read -r passed failed <<<"$totals"
failed=$((failed + untested))
# A program that CTest waited for well past its own report counts as one failure.
scripts/test-overhead.sh "${ran[@]/#/$top/build/}" || failed=$((failed + 1))

echo "== release"
release_status=1
if [ -n "$release_pid" ]; then
  wait "$release_pid"
  release_status=$?
  cat "$top/build/release-check.txt"
fi
if [ "$release_status" -eq 0 ]; then passed=$((passed + 1)); else failed=$((failed + 1)); fi
echo "run: $SECONDS s in all"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ] && [ "$passed" -gt 0 ]
