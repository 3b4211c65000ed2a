#!/usr/bin/env bash
# Builds the 32-bit and 64-bit plug-in and packs what a musician installs:
#   dist/vintrove-<version>-windows.zip
#     x86/ and x64/        per width: vintrove.dll, vintrove-host.exe (our host and validator) and
#                          vintrove_counting.dll (the plug-in built to count audio-thread calls)
#     README.txt           for musicians: installing, what is saved, the validator, known limits
#     licences/            libmad's copying conditions, copyright and credits
# With --verify it checks the zip: its entries and DLL formats, then it unpacks it and runs the
# README's validator command on both widths in a Wine prefix of its own, made fresh (the test
# command runs it that way).
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$top"
source scripts/common.sh

verify=false
[ "${1:-}" = --verify ] && verify=true

version=$(sed -n 's/^project(Vintrove VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
[ -n "$version" ] || { echo "release: no version in CMakeLists.txt" >&2; exit 1; }
name="vintrove-$version-windows"
libmad="$top/build/third_party/libmad-0.15.1b"
shipped=(vintrove.dll vintrove-host.exe vintrove_counting.dll)

if ! $verify; then
  scripts/setup.sh
fi
for flavour in win32 win64; do
  build_flavour "$flavour" "${shipped_targets[@]}"
done

stage="$top/build/release/$name"
rm -rf "$stage"
mkdir -p "$stage/licences" "$top/dist"
for pair in x86:win32 x64:win64; do
  mkdir -p "$stage/${pair%%:*}"
  for file in "${shipped[@]}"; do cp "$(flavour_dir "${pair#*:}")/bin/$file" "$stage/${pair%%:*}/$file"; done
done
# Windows line ends, so that every editor shows the README as written.
sed 's/$/\r/' docs/README-musicians.txt >"$stage/README.txt"
for notice in COPYING COPYRIGHT CREDITS; do
  cp "$libmad/$notice" "$stage/licences/libmad-$notice.txt"
done

zip="$top/dist/$name.zip"
rm -f "$zip"
(cd "$stage" && cmake -E tar cf "$zip" --format=zip x86 x64 README.txt licences)
echo "release: $zip"
$verify || exit 0

listing=$(cmake -E tar tf "$zip")
for entry in "${shipped[@]/#/x86/}" "${shipped[@]/#/x64/}" README.txt licences/libmad-COPYING.txt \
             licences/libmad-COPYRIGHT.txt licences/libmad-CREDITS.txt; do
  grep -qx "$entry" <<<"$listing" || { echo "release: $entry missing from the zip" >&2; exit 1; }
done
objdump_of() { "$1" -f "$2" | sed -n 's/.*file format \(.*\)/\1/p'; }
for file in vintrove.dll vintrove_counting.dll vintrove-host.exe; do
  [ "$(objdump_of i686-w64-mingw32-objdump "$stage/x86/$file")" = pei-i386 ] ||
    { echo "release: x86/$file is not 32-bit code" >&2; exit 1; }
  [ "$(objdump_of x86_64-w64-mingw32-objdump "$stage/x64/$file")" = pei-x86-64 ] ||
    { echo "release: x64/$file is not 64-bit code" >&2; exit 1; }
done
echo "release: the zip holds both widths' plug-in, host and counting build, the README and the licence notices"

# The README's one command, exactly as written there, with its example path replaced by the
# unpacked DLL's.
command=$(grep -m 1 -E '^ +vintrove-host --validate "[^"]*"$' docs/README-musicians.txt | sed 's/^ *//') ||
  { echo "release: the README names no validator command" >&2; exit 1; }
unpacked="$top/build/release-check"
rm -rf "$unpacked"
mkdir -p "$unpacked/files"
(cd "$unpacked/files" && cmake -E tar xf "$zip")
export WINEPREFIX="$unpacked/wineprefix"
wine_prefixes+=("$WINEPREFIX")
trap stop_background EXIT
start_virtual_display
echo "release: a fresh Wine prefix for the unpacked zip"
wine_tool wineboot </dev/null >/dev/null 2>&1 || true
wine_tool reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f </dev/null >/dev/null 2>&1 || true
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
  if (cd "$folder" && "$top/cmake/wine-run.sh" "${words[0]}.exe" "${words[@]:1}" "$dll" </dev/null \
        2> >(grep -v '^wine: Read access denied for device' >&2) | tr -d '\r' | tee "$unpacked/$width.txt" |
        sed 's/^/  /') && grep -qE '^validate: [1-9][0-9]* passed, 0 failed$' "$unpacked/$width.txt" &&
     grep -q '^PASS no allocation' "$unpacked/$width.txt" && ! grep -q '^FAIL' "$unpacked/$width.txt"; then
    echo "release: the unpacked $width copy validates itself"
  else
    echo "release: the unpacked $width copy does not validate itself" >&2
    failures=$((failures + 1))
  fi
done
[ "$failures" -eq 0 ]
