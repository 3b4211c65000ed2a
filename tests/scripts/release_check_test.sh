#!/usr/bin/env bash
# The release check (scripts/release-check.sh) on zips made here: one as the release makes it, and
# one each with a file missing, a file more, a README with Unix line ends, a 32-bit DLL in the
# 64-bit folder, and validator reports that do not bear out what the README says of them. The
# programs are tiny real PE files of each width; the validator's report is the one the real
# validator printed on the x64 build (recorded once) (data/validate-report.txt), played back by a
# stand-in for Wine.
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/check.sh"
clone=$(new_clone release)
mkdir -p "$clone/cmake"
cp "$top/cmake/wine-run.sh" "$clone/cmake/"
report="$top/tests/scripts/data/validate-report.txt"

# Tiny programs of each width.
echo 'int f(void) { return 1; }' >"$scratch/f.c"
echo 'int main(void) { return 0; }' >"$scratch/m.c"
for pair in x86:i686 x64:x86_64; do
  width=${pair%%:*} cc=${pair#*:}-w64-mingw32-gcc
  mkdir -p "$scratch/programs/$width"
  "$cc" -shared -o "$scratch/programs/$width/a.dll" "$scratch/f.c" && "$cc" -o "$scratch/programs/$width/a.exe" "$scratch/m.c" ||
    { echo "FAIL $cc cannot build"; exit 1; }
done

# A stage as the release makes it; changes to it are made by the case.
new_stage() {  # name
  local stage="$scratch/stage-$1" width
  mkdir -p "$stage/licences"
  for width in x86 x64; do
    mkdir -p "$stage/$width"
    cp "$scratch/programs/$width/a.dll" "$stage/$width/vintrove.dll"
    cp "$scratch/programs/$width/a.dll" "$stage/$width/vintrove_counting.dll"
    cp "$scratch/programs/$width/a.exe" "$stage/$width/vintrove-host.exe"
  done
  sed 's/$/\r/' "$top/docs/README-musicians.txt" >"$stage/README.txt"
  for notice in COPYING COPYRIGHT CREDITS; do echo "$notice" >"$stage/licences/libmad-$notice.txt"; done
  echo "$stage"
}
check_zip() {  # stage, validator report; sets status and last_output
  local zip="$1.zip"
  (cd "$1" && cmake -E tar cf "$zip" --format=zip -- *)
  status=0
  last_output=$(cd "$clone" && env -u DISPLAY -u VINTROVE_DISPLAY_STARTED PATH="$stubs/display:$stubs/build:$PATH" STUB_VALIDATE="$2" \
    STUB_XVFB_PIDS="$scratch/xvfb.pids" \
    scripts/release-check.sh "$zip" 2>&1) || status=$?
}
says() { grep -qE "$1" <<<"$last_output"; }

stage=$(new_stage good)
check_zip "$stage" "$report"
check "a zip as the release makes it passes" eval '[ "$status" -eq 0 ] && says "x64 copy validates itself"'
xvfb_stopped() {  # within 5 s of the check's end
  local pid tries
  for pid in $(cat "$scratch/xvfb.pids"); do
    for tries in $(seq 50); do kill -0 "$pid" 2>/dev/null || continue 2; sleep 0.1; done
    return 1
  done
}
check "the check stops the X server it started" eval '[ -s "$scratch/xvfb.pids" ] && xvfb_stopped'

stage=$(new_stage missing)
rm "$stage/x64/vintrove_counting.dll"
check_zip "$stage" "$report"
check "a file missing fails" eval '[ "$status" -ne 0 ] && says "missing from the zip: x64/vintrove_counting.dll"'

stage=$(new_stage extra)
cp "$stage/x86/vintrove.dll" "$stage/x86/vintrove-old.dll"
check_zip "$stage" "$report"
check "a file more fails" eval '[ "$status" -ne 0 ] && says "not to be shipped: x86/vintrove-old.dll"'

stage=$(new_stage unix-readme)
cp "$top/docs/README-musicians.txt" "$stage/README.txt"
check_zip "$stage" "$report"
check "a README with Unix line ends fails" eval '[ "$status" -ne 0 ] && says "README.txt has lines without Windows line ends"'

stage=$(new_stage wrong-width)
cp "$scratch/programs/x86/a.dll" "$stage/x64/vintrove.dll"
check_zip "$stage" "$report"
check "a 32-bit DLL in the x64 folder fails" eval '[ "$status" -ne 0 ] && says "x64/vintrove.dll is not 64-bit"'

# Reports that do not match the README: another count, and the named test absent.
stage=$(new_stage count)
sed -E 's/^validate: ([0-9]+) passed/validate: 1\1 passed/' "$report" >"$scratch/count.txt"
check_zip "$stage" "$scratch/count.txt"
check "a summary other than the one the README quotes fails" eval '[ "$status" -ne 0 ] && says "the README quotes"'
stage=$(new_stage unnamed)
grep -v '^PASS no allocation' "$report" >"$scratch/unnamed.txt"
check_zip "$stage" "$scratch/unnamed.txt"
check "a report without the test the README names fails" eval '[ "$status" -ne 0 ] && says "the validator ran none of that name"'

finish
