#!/usr/bin/env bash
# Runs a Windows program under Wine with a prefix of the build's own, quietly, without the
# Mono and Gecko installers a new prefix would otherwise ask for.
set -eu
: "${WINEPREFIX:=${VINTROVE_WINEPREFIX:-$(cd "$(dirname "$0")/.." && pwd)/build/wineprefix}}"
export WINEPREFIX
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
# Debian's wine command starts Wine's 32-bit loader whenever it is installed, and a machine whose
# kernel runs 64-bit user code only refuses it (exec format error): there Wine starts through its
# 64-bit loader, which runs the 64-bit programs. (Another wine first on the PATH is left to
# choose for itself.)
if [ -z "${WINELOADER:-}" ] && [ "$(command -v wine)" = /usr/bin/wine ] && [ -x /usr/lib/wine/wine64 ] &&
   ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
  export WINELOADER=/usr/lib/wine/wine64
fi
# The first program that needs a window starts Wine's desktop process (explorer.exe), which
# inherits that program's stderr and keeps it open for as long as any program uses the desktop:
# a runner that reads the stderr to its end (CTest) would wait that long. So the program's
# stderr goes to a file, passed on once the program has ended.
errors=$(mktemp "${TMPDIR:-/tmp}/wine-run.XXXXXX")
trap 'rm -f "$errors"' EXIT
status=0
"${WINELOADER:-wine}" "$@" 2>"$errors" || status=$?
cat "$errors" >&2
exit "$status"
