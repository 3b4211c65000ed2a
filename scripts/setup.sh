#!/usr/bin/env bash
# Brings a fresh Debian machine (as root) to where both builds and the tests can run:
# installs the missing packages and fetches libmad's upstream source release into the build tree.
# Safe to run again: it only installs what is missing and reuses a verified tarball.
set -euo pipefail

top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
download_dir="$top/build/downloads"

packages=(
  cmake ninja-build g++ make pkg-config patch
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
# own summary, and a failure shows the log's end.
apt_log="$top/build/setup-apt.log"

apt_failed() {
  log "apt-get failed; the end of $apt_log:"
  tail -n 20 "$apt_log" | sed 's/^/  /'
  exit 1
}

apt_updated=false
apt_update() {
  $apt_updated && return 0
  mkdir -p "$(dirname "$apt_log")"
  as_root apt-get update -q >"$apt_log" 2>&1 || apt_failed
  log "package lists updated: $(grep -E '^Fetched ' "$apt_log" | tail -n 1 || echo 'nothing new')"
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

ensure_packages() {
  local missing count started status=0
  missing=$(missing_packages)
  [ -z "$missing" ] && return 0
  count=$(wc -w <<<"$missing")
  apt_update
  log "installing $count packages:" $missing
  started=$SECONDS
  # shellcheck disable=SC2086
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends $missing 2>&1 |
    tee -a "$apt_log" | awk '
      /^[0-9]+ upgraded, [0-9]+ newly installed/ { counts = $0 }
      /^Need to get / { fetch = $0 }
      /^After this operation, / {
        printf "setup: apt: %s %s %s\n", counts, fetch, $0; fflush()
      }' || status=$?
  [ "$status" -eq 0 ] || apt_failed
  [ -z "$(missing_packages)" ] || apt_failed
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

# Fetches a source package's upstream tarball (checked against its SHA-256) and unpacks it into
# build/third_party. The distribution's patch archive may be missing from the mirror; only the
# upstream tarball matters.
ensure_upstream_source() {  # package tarball sha256 unpacked-folder
  local package=$1 tarball=$2 sha=$3 unpacked="$top/build/third_party/$4"
  mkdir -p "$download_dir"
  if ! sha_ok "$download_dir/$tarball" "$sha"; then
    ensure_source_entries
    apt_update
    log "fetching the upstream source release of $package"
    local work
    work=$(mktemp -d)
    (cd "$work" && apt-get source --download-only -qq "$package" >/dev/null 2>&1) || true
    if [ ! -f "$work/$tarball" ]; then
      local uri
      uri=$(cd "$work" && apt-get source --print-uris -qq "$package" 2>/dev/null |
        awk -v name="$tarball" '$2 == name { gsub("\x27", "", $1); print $1 }')
      if [ -n "$uri" ]; then
        (cd "$work" && /usr/lib/apt/apt-helper download-file "$uri" "$work/$tarball" >/dev/null)
      fi
    fi
    [ -f "$work/$tarball" ] || { log "could not obtain $tarball"; exit 1; }
    mv "$work/$tarball" "$download_dir/$tarball"
    rm -rf "$work"
    sha_ok "$download_dir/$tarball" "$sha" || {
      log "$tarball has the wrong SHA-256"
      rm -f "$download_dir/$tarball"
      exit 1
    }
  fi
  if [ ! -f "$unpacked/.unpacked" ]; then
    log "unpacking $tarball into build/third_party"
    rm -rf "$unpacked"
    mkdir -p "$top/build/third_party"
    tar -xzf "$download_dir/$tarball" -C "$top/build/third_party"
    touch "$unpacked/.unpacked"
  fi
}

ensure_i386
ensure_packages
ensure_upstream_source libmad libmad_0.15.1b.orig.tar.gz \
  bbfac3ed6bfbc2823d3775ebb931087371e142bb0e9bb1bee51a76a6e0078690 libmad-0.15.1b
# Google Benchmark for the win32 benchmarks: Debian ships no MinGW build of it.
ensure_upstream_source benchmark benchmark_1.7.1.orig.tar.gz \
  6430e4092653380d9dc4ccb45a1e2dc9259d581f4866dc0759713126056bc1d7 benchmark-1.7.1
log "ready"
