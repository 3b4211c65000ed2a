#!/usr/bin/env bash
# The test command's own logic (scripts/test.sh and its summary): every flavour's builds and
# tests are stand-ins (tests/scripts/stubs/build) run by the real CTest, so that a test program
# that crashes, hangs, fails one case or was never built, a flavour whose build fails and an X
# server that does not start can be staged in seconds. What must hold: the last line reads
# "N passed, M failed" with the right counts, and the exit status is 0 exactly when M is 0.
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/check.sh"

# Runs ./run test in a clone of its own, with the given variables; sets status, last_output
# and summary (the last line).
run_test_command() {  # name, [VAR=value ...]
  local name=$1 clone
  shift
  clone=$(new_clone "$name")
  printf '#!/usr/bin/env bash\nexit 0\n' >"$clone/scripts/setup.sh"
  printf '#!/usr/bin/env bash\necho "release: stand-in"\nexit "${STUB_RELEASE:-0}"\n' >"$clone/scripts/release.sh"
  local path="$stubs/build:$PATH"
  status=0
  last_output=$(cd "$clone" && env -u DISPLAY -u VINTROVE_DISPLAY_STARTED PATH="$path" VINTROVE_JOBS=2 \
    VINTROVE_RUNS_32BIT=1 "$@" \
    ./run test 2>&1) || status=$?
  summary=$(tail -n 1 <<<"$last_output")
}
# Each flavour has a GoogleTest stand-in of 3 cases and one plain check; the ThreadSanitizer
# flavour runs only the first: 4 + 3 + 4 + 4, and the release check.
summary_is() { [ "$summary" = "$1" ]; }
status_matches() {
  local failed
  failed=$(sed -n 's/^[0-9]* passed, \([0-9]*\) failed$/\1/p' <<<"$summary")
  [ -n "$failed" ] && { { [ "$failed" -eq 0 ] && [ "$status" -eq 0 ]; } || { [ "$failed" -gt 0 ] && [ "$status" -ne 0 ]; }; }
}

run_test_command all-pass
check "everything passing: 16 passed, 0 failed, exit 0" eval 'summary_is "16 passed, 0 failed" && status_matches'

run_test_command crash-and-hang STUB_native_CHECK=crash STUB_win32_GTEST=hang
check "a check that crashes and a program that hangs count as failures" \
  eval 'summary_is "12 passed, 2 failed" && status_matches'

run_test_command failing-case STUB_win64_GTEST=fail-case STUB_tsan_GTEST=crash-after-report
check "one failing case counts once; a crash after an all-passing report counts once" \
  eval 'summary_is "15 passed, 2 failed" && status_matches'

run_test_command not-built STUB_native_CHECK=missing
check "a test whose program was never built counts as a failure" \
  eval 'summary_is "15 passed, 1 failed" && status_matches'

run_test_command build-fails STUB_BUILD_FAIL=win64
check "a Windows flavour whose build fails counts, and so does the release it prevents" \
  eval 'summary_is "11 passed, 2 failed" && status_matches'

# A machine that runs no 32-bit programs: win32 is built, its tests are not run, and say so.
run_test_command no-32bit VINTROVE_RUNS_32BIT=0 STUB_win32_GTEST=fail-case
check "without 32-bit programs the win32 tests are not run and not counted: 12 passed, 0 failed" \
  eval 'summary_is "12 passed, 0 failed" && status_matches && grep -q "win32 tests not run" <<<"$last_output"'

# No X server: the Linux flavours still report, and the Windows ones count as failures.
no_display_path="$stubs/no-display"
run_test_command no-display PATH="$no_display_path:$stubs/build:$PATH"
check "an X server that does not start still ends with the summary, the Windows flavours failed" \
  eval 'summary_is "8 passed, 2 failed" && status_matches && grep -q "virtual display did not start" <<<"$last_output"'

finish
