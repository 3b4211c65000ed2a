# Shared by the run scripts: where the builds live and how each is configured.
# shellcheck shell=bash
top=${top:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}
export VINTROVE_WINEPREFIX="$top/build/wineprefix"
export WINEPREFIX="$VINTROVE_WINEPREFIX"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
jobs=${VINTROVE_JOBS:-2}

# Compiled objects are kept beside the setup's downloads, for every clone on the machine (a CI
# run clones afresh each time): a clone rebuilds only what differs from what was built before.
# VINTROVE_CCACHE=0 builds without it.
compiler_cache() {
  [ "${VINTROVE_CCACHE:-1}" != 0 ] && command -v ccache >/dev/null || return 1
  export CCACHE_DIR=${VINTROVE_CACHE:-${XDG_CACHE_HOME:-${HOME:-/root}/.cache}/vintrove}/ccache
  export CCACHE_BASEDIR=$top CCACHE_MAXSIZE=${CCACHE_MAXSIZE:-3G}
  # The precompiled GoogleTest header is built in the build folder each time; its defines and
  # times are the build's own.
  export CCACHE_SLOPPINESS=pch_defines,time_macros,include_file_mtime,include_file_ctime
}

flavour_dir() { echo "$top/build/$1"; }

configure_flavour() {
  local flavour=$1 dir
  dir=$(flavour_dir "$flavour")
  local args=(-S "$top" -B "$dir" -G Ninja -DVINTROVE_WERROR=ON)
  local launcher=""
  compiler_cache && launcher=ccache
  args+=("-DCMAKE_C_COMPILER_LAUNCHER=$launcher" "-DCMAKE_CXX_COMPILER_LAUNCHER=$launcher")
  case "$flavour" in
    native) args+=(-DCMAKE_BUILD_TYPE=Debug "-DVINTROVE_SANITIZERS=address;undefined") ;;
    tsan) args+=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DVINTROVE_SANITIZERS=thread) ;;
    release-native) args+=(-DCMAKE_BUILD_TYPE=Release) ;;
    win32) args+=(-DCMAKE_BUILD_TYPE=Release "-DCMAKE_TOOLCHAIN_FILE=$top/cmake/toolchain-mingw-i686.cmake") ;;
    win64) args+=(-DCMAKE_BUILD_TYPE=Release "-DCMAKE_TOOLCHAIN_FILE=$top/cmake/toolchain-mingw-x86_64.cmake") ;;
    *) echo "unknown build: $flavour" >&2; return 2 ;;
  esac
  cmake "${args[@]}" >/dev/null
}

# The ThreadSanitizer build runs only the tests that exercise threads.
tsan_tests=(platform_tests store_tests loader_tests player_tests player_main_tests)

# The plug-in, our host and the counting build: what the release zip ships of each width.
shipped_targets=(vintrove vintrove-host vintrove_counting)

build_flavour() {  # flavour [target...]: everything, or the targets named
  local flavour=$1 targets=() t
  shift
  configure_flavour "$flavour"
  for t in "$@"; do targets+=(--target "$t"); done
  if [ "$flavour" = tsan ] && [ $# -eq 0 ]; then
    for t in "${tsan_tests[@]}"; do targets+=(--target "$t"); done
  fi
  cmake --build "$(flavour_dir "$flavour")" -j "$jobs" "${targets[@]}"
}

# Some machines run 64-bit user code only: their kernel refuses i386 programs, Wine's 32-bit
# loader among them. There the win32 build is built, and nothing of it can run.
# VINTROVE_RUNS_32BIT=1 or 0 stands in for the machine's answer (the test command's own tests).
runs_32bit_programs() {
  case "${VINTROVE_RUNS_32BIT:-}" in
    1) return 0 ;;
    0) return 1 ;;
  esac
  /usr/lib/wine/wine --version >/dev/null 2>&1
}
no_32bit_reason="this machine runs no 32-bit programs (its kernel refuses i386 executables)"

wine_tool() { "$top/cmake/wine-run.sh" "$@"; }  # wineboot, reg, winepath through the loader that runs here

# Virtual X displays for the Windows GUI under Wine; stopped when the calling script exits.
# Xvfb picks the first display number that is wholly free and reports it (-displayfd): the
# socket files in /tmp are not all there is, since a chroot or container sharing the network
# namespace also shares the abstract X sockets, and a clash connects the tests to a foreign server.
xvfb_pids=()
wine_prefixes=()
new_display() {  # sets display_number
  local number_file
  number_file=$(mktemp)
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$number_file" >/dev/null 2>&1 &
  xvfb_pids+=($!)
  local i n=""
  for i in $(seq 1 100); do
    n=$(tr -dc 0-9 <"$number_file")
    [ -n "$n" ] && [ -e "/tmp/.X11-unix/X$n" ] && break
    sleep 0.1
  done
  rm -f "$number_file"
  [ -n "$n" ] || { echo "run: the virtual display did not start" >&2; return 1; }
  display_number=$n
}

start_virtual_display() {
  [ -n "${VINTROVE_DISPLAY_STARTED:-}" ] && return 0
  new_display || return 1
  export DISPLAY=":$display_number"
  export VINTROVE_DISPLAY_STARTED=1
}

# A persistent wineserver keeps each test program's start short; the prefix is made once.
# Wine's own service processes are started here, with their output going nowhere: started by
# the first test instead, they would inherit its output pipe and keep CTest waiting forever.
# A prefix's desktop belongs to the display it first starts on, so call this on that display.
start_wine() {  # [prefix], the build's own by default
  local prefix=${1:-$VINTROVE_WINEPREFIX}
  mkdir -p "$prefix"
  if [ ! -f "$prefix/system.reg" ]; then
    echo "run: preparing the Wine prefix $(basename "$prefix") (first time only)"
  fi
  wine_prefixes+=("$prefix")
  WINEPREFIX=$prefix wineserver -p </dev/null >/dev/null 2>&1 || true
  WINEPREFIX=$prefix prepare_prefix
}

# The prefix's settings for unattended runs, on the display it is to use. Without a window
# manager on the virtual display, Wine waits 2 s for every managed window to be withdrawn;
# unmanaged windows close at once. A program that crashes would wait for someone to close
# Wine's crash dialog (until CTest's timeout); without it the debugger prints its backtrace and
# the program ends.
prepare_prefix() {
  wine_tool wineboot </dev/null >/dev/null 2>&1 || true
  wine_tool reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f </dev/null >/dev/null 2>&1 || true
  wine_tool reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f </dev/null >/dev/null 2>&1 || true
}

stop_background() {
  local prefix pid
  for prefix in "${wine_prefixes[@]}"; do WINEPREFIX=$prefix wineserver -k >/dev/null 2>&1 || true; done
  for pid in "${xvfb_pids[@]}"; do kill "$pid" 2>/dev/null || true; done
}
