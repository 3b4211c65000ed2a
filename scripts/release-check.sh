#!/usr/bin/env bash
# Checks a release zip as a musician would get it: exactly the entries it should hold (nothing
# missing, nothing more), each program of the width its folder says, the README with Windows line
# ends; then it unpacks the zip and runs the README's validator command on both widths in a Wine
# prefix of its own, made fresh, and holds the README's account of that run (the summary line it
# quotes, the test it names) against what the validator printed.
#   scripts/release-check.sh dist/vintrove-<version>-windows.zip
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$top/scripts/common.sh"
zip=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
shipped=(vintrove.dll vintrove-host.exe vintrove_counting.dll)
fail() { echo "release: $*" >&2; exit 1; }

expected=$(printf '%s\n' "${shipped[@]/#/x86/}" "${shipped[@]/#/x64/}" README.txt licences/libmad-COPYING.txt \
             licences/libmad-COPYRIGHT.txt licences/libmad-CREDITS.txt | sort)
listing=$(cmake -E tar tf "$zip" | grep -v '/$' | sort) || fail "$zip cannot be read"
missing=$(comm -23 <(echo "$expected") <(echo "$listing"))
extra=$(comm -13 <(echo "$expected") <(echo "$listing"))
[ -z "$missing" ] || fail "missing from the zip: $(echo $missing)"
[ -z "$extra" ] || fail "in the zip but not to be shipped: $(echo $extra)"

unpacked="$top/build/release-check"
rm -rf "$unpacked"
mkdir -p "$unpacked/files"
(cd "$unpacked/files" && cmake -E tar xf "$zip")
objdump_of() { "$1" -f "$2" 2>/dev/null | sed -n 's/.*file format \(.*\)/\1/p'; }
for file in "${shipped[@]}"; do
  [ "$(objdump_of i686-w64-mingw32-objdump "$unpacked/files/x86/$file")" = pei-i386 ] ||
    fail "x86/$file is not 32-bit Windows code"
  [ "$(objdump_of x86_64-w64-mingw32-objdump "$unpacked/files/x64/$file")" = pei-x86-64 ] ||
    fail "x64/$file is not 64-bit Windows code"
done
readme="$unpacked/files/README.txt"
[ "$(grep -c $'\r$' "$readme")" -eq "$(wc -l <"$readme")" ] || fail "README.txt has lines without Windows line ends"
echo "release: the zip holds both widths' plug-in, host and counting build, the README and the licence notices"

# The README's one command, exactly as written there, with its example path replaced by the
# unpacked DLL's.
text=$(tr -d '\r' <"$readme")
command=$(grep -m 1 -E '^ +vintrove-host --validate "[^"]*"$' <<<"$text" | sed 's/^ *//') ||
  fail "the README names no validator command"
quoted_summary=$(grep -oE '"validate: [0-9]+ passed, 0 failed"' <<<"$text" | tr -d '"') ||
  fail "the README quotes no summary line"
named_test=$(tr '\n' ' ' <<<"$text" | grep -oE 'the test "[^"]+"' | head -n 1 | sed 's/^the test "//; s/"$//') ||
  fail "the README names no test"
export WINEPREFIX="$unpacked/wineprefix"
wine_prefixes+=("$WINEPREFIX")
trap stop_background EXIT
start_virtual_display
echo "release: a fresh Wine prefix for the unpacked zip"
prepare_prefix
failures=0
widths=(x86 x64)
if ! runs_32bit_programs; then
  echo "release: the x86 copy is not run here: $no_32bit_reason"
  widths=(x64)
fi
for width in "${widths[@]}"; do
  folder="$unpacked/files/$width"
  dll=$(wine_tool winepath -w "$folder/vintrove.dll" 2>/dev/null)
  read -r -a words <<<"${command%% \"*}"
  echo "release: in $width: ${command%% \"*} \"$dll\""
  output="$unpacked/$width.txt"
  if (cd "$folder" && "$top/cmake/wine-run.sh" "${words[0]}.exe" "${words[@]:1}" "$dll" </dev/null \
        2> >(grep -v '^wine: Read access denied for device' >&2) | tr -d '\r' | tee "$output" |
        sed 's/^/  /') && grep -qE '^validate: [1-9][0-9]* passed, 0 failed$' "$output" &&
     ! grep -q '^FAIL' "$output"; then
    echo "release: the unpacked $width copy validates itself"
  else
    echo "release: the unpacked $width copy does not validate itself" >&2
    failures=$((failures + 1))
    continue
  fi
  grep -qF "PASS $named_test" "$output" ||
    { echo "release: the README names the test \"$named_test\"; the validator ran none of that name" >&2
      failures=$((failures + 1)); }
  grep -qx "$quoted_summary" "$output" ||
    { echo "release: the README quotes \"$quoted_summary\"; the validator ended with \"$(grep '^validate: ' "$output")\"" >&2
      failures=$((failures + 1)); }
done
[ "$failures" -eq 0 ]
