#!/usr/bin/env bash
# Builds the 32-bit and 64-bit plug-in and packs what a musician installs:
#   dist/vintrove-<version>-windows.zip
#     x86/vintrove.dll     for 32-bit hosts
#     x64/vintrove.dll     for 64-bit hosts
#     README.txt           the user part of README.md
#     licences/            libmad's copying conditions, copyright and credits
# With --verify it also checks the zip's contents (the test command runs it that way).
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

if ! $verify; then
  scripts/setup.sh
fi
for flavour in win32 win64; do
  configure_flavour "$flavour"
  cmake --build "$(flavour_dir "$flavour")" -j "$jobs" --target vintrove
done

stage="$top/build/release/$name"
rm -rf "$stage"
mkdir -p "$stage/x86" "$stage/x64" "$stage/licences" "$top/dist"
cp "$(flavour_dir win32)/bin/vintrove.dll" "$stage/x86/vintrove.dll"
cp "$(flavour_dir win64)/bin/vintrove.dll" "$stage/x64/vintrove.dll"
# The user part of the README lies between two markers.
sed -n '/<!-- user part -->/,/<!-- end of user part -->/p' README.md | sed '1d;$d' >"$stage/README.txt"
for notice in COPYING COPYRIGHT CREDITS; do
  cp "$libmad/$notice" "$stage/licences/libmad-$notice.txt"
done

zip="$top/dist/$name.zip"
rm -f "$zip"
(cd "$stage" && cmake -E tar cf "$zip" --format=zip x86 x64 README.txt licences)
echo "release: $zip"

if $verify; then
  listing=$(cmake -E tar tf "$zip")
  for entry in x86/vintrove.dll x64/vintrove.dll README.txt licences/libmad-COPYING.txt \
               licences/libmad-COPYRIGHT.txt licences/libmad-CREDITS.txt; do
    grep -qx "$entry" <<<"$listing" || { echo "release: $entry missing from the zip" >&2; exit 1; }
  done
  [ -s "$stage/README.txt" ] || { echo "release: the README's user part is empty" >&2; exit 1; }
  objdump_of() { "$1" -f "$2" | sed -n 's/.*file format \(.*\)/\1/p'; }
  [ "$(objdump_of i686-w64-mingw32-objdump "$stage/x86/vintrove.dll")" = pei-i386 ] ||
    { echo "release: x86/vintrove.dll is not a 32-bit DLL" >&2; exit 1; }
  [ "$(objdump_of x86_64-w64-mingw32-objdump "$stage/x64/vintrove.dll")" = pei-x86-64 ] ||
    { echo "release: x64/vintrove.dll is not a 64-bit DLL" >&2; exit 1; }
  echo "release: the zip holds both DLLs, the README's user part and the licence notices"
fi
