#!/usr/bin/env bash
# Runs a Windows program under Wine with a prefix of the build's own, quietly, without the
# Mono and Gecko installers a new prefix would otherwise ask for.
set -eu
: "${WINEPREFIX:=${VINTROVE_WINEPREFIX:-$(cd "$(dirname "$0")/.." && pwd)/build/wineprefix}}"
export WINEPREFIX
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
# The first program that needs a window starts Wine's desktop process (explorer.exe), which
# inherits that program's stderr and keeps it open for as long as any program uses the desktop:
# a runner that reads the stderr to its end (CTest) would wait that long. So the program's
# stderr goes to a file, passed on once the program has ended.
errors=$(mktemp "${TMPDIR:-/tmp}/wine-run.XXXXXX")
trap 'rm -f "$errors"' EXIT
# Debian's `wine` starts its 32-bit loader whenever wine32 is installed, for 64-bit programs too;
# on a kernel that cannot run 32-bit code that fails at once, so the 64-bit loader is named.
wine=wine
if [ "$(command -v wine)" = /usr/bin/wine ] && [ -x /usr/lib/wine/wine64 ] &&
   ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
  wine=/usr/lib/wine/wine64
fi
status=0
"$wine" "$@" 2>"$errors" || status=$?
cat "$errors" >&2
exit "$status"
