#!/usr/bin/env bash
# Runs a Windows program under Wine with a prefix of the build's own, quietly, without the
# Mono and Gecko installers a new prefix would otherwise ask for.
set -eu
: "${WINEPREFIX:=${VINTROVE_WINEPREFIX:-$(cd "$(dirname "$0")/.." && pwd)/build/wineprefix}}"
export WINEPREFIX
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
exec wine "$@"
