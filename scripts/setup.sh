#!/usr/bin/env bash
# Brings a fresh Debian machine (as root) to where both builds and the tests can run:
# installs the missing packages and fetches libmad's upstream source release (cached for every clone).
# Safe to run again: it only installs what is missing and reuses a verified tarball.
set -euo pipefail

top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# Verified source tarballs are kept for every clone on the machine, so a second clone needs no
# network: ${VINTROVE_CACHE:-$XDG_CACHE_HOME/vintrove or ~/.cache/vintrove}/downloads. A relative
# VINTROVE_CACHE is taken from the folder the command started in; a relative XDG_CACHE_HOME is
# ignored, as the XDG rules say (it would put the cache in whatever folder we run from).
if [ -n "${VINTROVE_CACHE:-}" ]; then
  case $VINTROVE_CACHE in /*) cache_dir=$VINTROVE_CACHE ;; *) cache_dir=$PWD/$VINTROVE_CACHE ;; esac
else
  case ${XDG_CACHE_HOME:-} in
    /*) cache_dir=$XDG_CACHE_HOME/vintrove ;;
    *) cache_dir=${HOME:-$(getent passwd "$(id -u)" | cut -d: -f6)}/.cache/vintrove ;;
  esac
fi
download_dir="$cache_dir/downloads"
apt_updated=false

packages=(
  cmake ninja-build g++ make pkg-config patch ccache
  g++-mingw-w64-i686-posix binutils-mingw-w64-i686
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  wine wine32:i386 wine64
  xvfb xauth x11-utils fonts-liberation
  googletest
  clang libclang-rt-14-dev
  libbenchmark-dev
  ca-certificates
)

log() { printf 'setup: %s\n' "$*"; }

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

# apt's whole output goes to a log (its debconf notes included); the phase line carries apt's
# own summary, and a failure names apt's own reason.
apt_log="$top/build/setup-apt.log"

# Indexes that the last update could not fetch, one "<uri> <suite>/<component> <arch> Packages"
# per line: a mirror in mid-sync fails one index while the others arrive.
failed_indexes=""

apt_update() {
  $apt_updated && return 0
  mkdir -p "$(dirname "$apt_log")"
  local output status=0
  output=$(as_root apt-get update -q 2>&1) || status=$?
  printf '%s\n' "$output" >>"$apt_log"
  failed_indexes=$(awk '
    /^Err:[0-9]+ / { $1 = ""; sub(/^ /, ""); index_name = $0; next }
    index_name != "" { sub(/^ +/, ""); print index_name ": " $0; index_name = "" }' <<<"$output")
  if [ -n "$failed_indexes" ]; then
    while IFS= read -r line; do log "warning: apt-get update could not fetch $line"; done <<<"$failed_indexes"
    log "warning: going on with the package lists that did arrive"
  elif [ "$status" -ne 0 ]; then
    log "warning: apt-get update failed ($(grep -E '^(E|W): ' <<<"$output" | head -n 1)); going on"
  fi
  log "package lists updated: $(grep -E '^Fetched ' <<<"$output" | tail -n 1 || echo 'nothing new')"
  apt_updated=true
}

missing_packages() {
  local p
  for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || echo "$p"
  done
}

ensure_i386() {
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    log "adding the i386 architecture"
    as_root dpkg --add-architecture i386
    apt_updated=false
  fi
}

candidate_of() {  # package:arch -> the version apt would install, or the installed one
  apt-cache policy "$1" 2>/dev/null | awk '
    /^  Installed: / { installed = $2 } /^  Candidate: / { candidate = $2 }
    END { print (candidate != "" && candidate != "(none)") ? candidate : installed }'
}

# Multi-Arch libraries must have the same version in both architectures. When the i386 list of
# one suite is missing, its i386 twins resolve to an older suite's versions and nothing installs.
explain_i386_skew() {  # apt's output of the failed install, the packages asked for
  local library i386_version amd64_version release way_out
  for library in $(grep -oE '[a-z0-9][a-z0-9.+-]*:i386' <<<"$1" | sed 's/:i386$//' | sort -u); do
    i386_version=$(candidate_of "$library:i386")
    amd64_version=$(candidate_of "$library:amd64")
    [ -n "$i386_version" ] && [ -n "$amd64_version" ] && [ "$i386_version" != "$amd64_version" ] || continue
    # Installing from the release's own lists (apt's -t) helps only while no amd64 twin is
    # already installed from the newer suite; apt's simulation tells.
    release=$(. /etc/os-release 2>/dev/null && echo "${VERSION_CODENAME:-}")
    way_out="wait until the mirror has synced, then run ./run setup again"
    # shellcheck disable=SC2086
    if [ -n "$release" ] && apt-get install -s -q -t "$release" --no-install-recommends $2 >/dev/null 2>&1; then
      way_out="run apt-get install -t $release --no-install-recommends $(tr '\n' ' ' <<<"$2" | sed 's/ $//') and then ./run setup again, or $way_out"
    fi
    log "the i386 packages cannot be installed: the i386 and amd64 versions of $library differ" \
      "($i386_version and $amd64_version)${failed_indexes:+, since apt could not fetch $(head -n 1 <<<"$failed_indexes" | cut -d: -f1-2)};" \
      "$way_out"
    return 0
  done
  return 1
}

install_failed() {  # apt's output, the packages asked for
  local which=() package
  for package in $2; do
    apt-get install -s -q --no-install-recommends "$package" >/dev/null 2>&1 || which+=("$package")
  done
  log "could not install ${which[*]:-the packages}; apt says:"
  # apt's own reason: its errors and the first of the unmet dependencies it lists.
  grep -E '^E: ' <<<"$1" | sed 's/^/  /'
  local unmet
  unmet=$(grep -E '^ [^ ].* : (Pre)?Depends:|^ +(Pre)?Depends:|has no installation candidate|is not available' <<<"$1" || true)
  if [ -n "$unmet" ]; then
    head -n 6 <<<"$unmet" | sed 's/^/  /'
    [ "$(wc -l <<<"$unmet")" -le 6 ] || echo "  ... ($(($(wc -l <<<"$unmet") - 6)) more lines in $apt_log)"
  fi
  explain_i386_skew "$1" "$2" || true
  exit 1
}

ensure_packages() {
  local missing count started output status=0
  missing=$(missing_packages)
  [ -z "$missing" ] && return 0
  count=$(wc -w <<<"$missing")
  apt_update
  log "installing $count packages:" $missing
  started=$SECONDS
  # Another apt (unattended upgrades on a fresh machine, a second setup) is waited for.
  # shellcheck disable=SC2086
  output=$(as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q -o DPkg::Lock::Timeout=600 --no-install-recommends $missing 2>&1) ||
    status=$?
  printf '%s\n' "$output" >>"$apt_log"
  [ "$status" -eq 0 ] && [ -z "$(missing_packages)" ] || install_failed "$output" "$missing"
  awk '/^[0-9]+ upgraded, [0-9]+ newly installed/ { counts = $0 }
       /^Need to get / { fetch = $0 }
       /^After this operation, / { printf "setup: apt: %s %s %s\n", counts, fetch, $0 }' <<<"$output"
  log "packages installed in $((SECONDS - started)) s"
}

# Source entries mirror the binary ones already configured, so no host name is written here.
ensure_source_entries() {
  local target=/etc/apt/sources.list.d/vintrove-sources.sources
  local legacy=/etc/apt/sources.list.d/vintrove-sources.list
  [ -f "$target" ] || [ -f "$legacy" ] && return 0
  local f
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    grep -q '^Types:.*deb-src' "$f" && return 0
  done
  local lists=()
  [ -f /etc/apt/sources.list ] && lists+=(/etc/apt/sources.list)
  for f in /etc/apt/sources.list.d/*.list; do [ -f "$f" ] && lists+=("$f"); done
  if [ ${#lists[@]} -gt 0 ] && grep -qs '^deb-src ' "${lists[@]}"; then return 0; fi

  log "adding source package entries (/etc/apt/sources.list.d/vintrove-sources.*)"
  local tmp
  tmp=$(mktemp)
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    case "$f" in *disabled*) continue ;; esac
    # Only Debian's own entries: third-party repositories rarely publish sources.
    awk 'BEGIN { RS=""; ORS="\n\n" }
         /Signed-By: \/usr\/share\/keyrings\/debian-archive-keyring.gpg/ || !/Signed-By:/ {
           if ($0 ~ /(^|\n)Types:[^\n]*deb([ \n]|$)/) {
             sub(/(^|\n)Types:[^\n]*/, "\nTypes: deb-src"); sub(/^\n/, ""); print
           }
         }' "$f" >>"$tmp"
  done
  if [ -s "$tmp" ]; then
    as_root install -m 0644 "$tmp" "$target"
  else
    [ ${#lists[@]} -gt 0 ] && grep -h '^deb ' "${lists[@]}" | sed 's/^deb /deb-src /' >"$tmp" || true
    as_root install -m 0644 "$tmp" "$legacy"
  fi
  rm -f "$tmp"
  apt_updated=false
}

sha_ok() {  # file sha256
  [ -f "$1" ] && echo "$2  $1" | sha256sum -c --status
}

# Fetches a source package's upstream tarball into the cache (checked against its SHA-256) and
# unpacks it into build/third_party. The distribution's patch archive may be missing from the mirror; only the
# upstream tarball matters.
ensure_upstream_source() {  # package tarball sha256 unpacked-folder
  local package=$1 tarball=$2 sha=$3 unpacked="$top/build/third_party/$4"
  if ! sha_ok "$download_dir/$tarball" "$sha"; then
    # Fetched beside the cache and renamed into it, so clones set up at once never see half a file.
    local work reason
    if ! mkdir -p "$download_dir" 2>/dev/null || ! work=$(mktemp -d "$download_dir/.fetch.XXXXXX" 2>/dev/null); then
      log "cannot write the download cache $download_dir; set VINTROVE_CACHE to a folder you can write"
      exit 1
    fi
    ensure_source_entries
    apt_update
    log "fetching the upstream source release of $package into $download_dir"
    reason=$(cd "$work" && apt-get source --download-only -qq "$package" 2>&1 >/dev/null) || true
    if [ ! -f "$work/$tarball" ]; then
      local uri
      uri=$(cd "$work" && apt-get source --print-uris -qq "$package" 2>/dev/null |
        awk -v name="$tarball" '$2 == name { gsub("\x27", "", $1); print $1 }')
      if [ -n "$uri" ]; then
        reason=$(/usr/lib/apt/apt-helper download-file "$uri" "$work/$tarball" 2>&1 >/dev/null) || true
      fi
    fi
    if [ ! -f "$work/$tarball" ]; then
      rm -rf "$work"
      log "could not obtain $tarball; apt says:"
      grep -E '^(E|W): ' <<<"$reason" | head -n 5 | sed 's/^/  /'
      log "connect this machine to the network and run setup again, or copy $tarball" \
        "(SHA-256 $sha) from a machine that has it into $download_dir"
      exit 1
    fi
    if ! sha_ok "$work/$tarball" "$sha"; then
      rm -rf "$work"
      log "$tarball from the mirror has the wrong SHA-256, so it was not kept nor unpacked; run setup again later"
      exit 1
    fi
    mv "$work/$tarball" "$download_dir/$tarball"
    rm -rf "$work"
  fi
  if [ ! -f "$unpacked/.unpacked" ]; then
    log "unpacking $tarball into build/third_party"
    rm -rf "$unpacked"
    mkdir -p "$top/build/third_party"
    tar -xzf "$download_dir/$tarball" -C "$top/build/third_party"
    touch "$unpacked/.unpacked"
  fi
}

# wine32 runs 32-bit x86 Linux code, which some kernels (virtual machines built without IA32
# emulation) refuse: then no 32-bit Windows program runs, whatever is installed.
check_32bit_code() {
  local loader=/usr/lib/wine/wine reason
  [ -x "$loader" ] || return 0
  reason=$("$loader" --version 2>&1 >/dev/null) && return 0
  grep -q 'Exec format error' <<<"$reason" || return 0
  log "warning: this machine's kernel cannot run 32-bit programs ($loader: Exec format error): the win32" \
    "build is made but none of it runs here; tests, demo and release check run the 64-bit build"
}

ensure_i386
ensure_packages
check_32bit_code
ensure_upstream_source libmad libmad_0.15.1b.orig.tar.gz \
  bbfac3ed6bfbc2823d3775ebb931087371e142bb0e9bb1bee51a76a6e0078690 libmad-0.15.1b
# Google Benchmark for the win32 benchmarks: Debian ships no MinGW build of it.
ensure_upstream_source benchmark benchmark_1.7.1.orig.tar.gz \
  6430e4092653380d9dc4ccb45a1e2dc9259d581f4866dc0759713126056bc1d7 benchmark-1.7.1
log "ready"
