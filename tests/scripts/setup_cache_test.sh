#!/usr/bin/env bash
# The setup's download cache against a mirror we control (tests/scripts/stubs/apt): a second
# clone, a cut tarball, a mirror serving bad bytes, no network, cache folders given oddly, and
# two setups at once. The machine's own apt is never called; its real apt-helper fetches the
# fallback downloads (copy:// and a refused http:// address).
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/check.sh"

libmad=libmad_0.15.1b.orig.tar.gz
libmad_sha=bbfac3ed6bfbc2823d3775ebb931087371e142bb0e9bb1bee51a76a6e0078690
benchmark=benchmark_1.7.1.orig.tar.gz

# The mirror holds the real tarballs, from the cache this machine's setup filled.
real_cache=${VINTROVE_CACHE:-}
if [ -z "$real_cache" ]; then
  case ${XDG_CACHE_HOME:-} in /*) real_cache=$XDG_CACHE_HOME/vintrove ;; *) real_cache=$HOME/.cache/vintrove ;; esac
fi
mirror="$scratch/mirror"
mkdir -p "$mirror"
for file in $libmad $benchmark; do
  cp "$real_cache/downloads/$file" "$mirror/" ||
    { echo "FAIL no $file in $real_cache/downloads: run ./run setup first"; exit 1; }
done

# Runs a command of a clone with the stubs first on PATH, a home of the case's own and the given
# variables; sets status and last_output.
run_in() {  # folder, case name, [VAR=value ...] command...
  local folder=$1 name=$2
  shift 2
  mkdir -p "$scratch/home-$name"
  : >"$scratch/apt-$name.log"
  status=0
  last_output=$(cd "$folder" && env -i PATH="$stubs/apt:$PATH" HOME="$scratch/home-$name" STUB_LOG="$scratch/apt-$name.log" \
    STUB_MIRROR="$mirror" "$@" 2>&1) || status=$?
}
cache_of() { echo "$scratch/home-$1/.cache/vintrove/downloads"; }
good_in() { [ -f "$1/$libmad" ] && echo "$libmad_sha  $1/$libmad" | sha256sum -c --status; }
unpacked() { [ -f "$1/build/third_party/libmad-0.15.1b/.unpacked" ] && [ -f "$1/build/third_party/libmad-0.15.1b/frame.c" ]; }
fetched() { grep -q 'apt-get source' "$scratch/apt-$1.log"; }
no_partial_files() { [ -z "$(find "$1" -name '.fetch.*')" ]; }
says() { grep -qE "$1" <<<"$last_output"; }

# A fresh clone fills the cache; a second one, with no network at all, needs nothing more.
first=$(new_clone first)
run_in "$first" first STUB_SOURCE=orig scripts/setup.sh
cache=$(cache_of first)
check "a fresh clone fetches both tarballs into the cache outside the clone" \
  eval '[ "$status" -eq 0 ] && good_in "$cache" && [ -f "$cache/$benchmark" ] && unpacked "$first" && no_partial_files "$cache"'
second=$(new_clone second)
mkdir -p "$(cache_of second)"
cp "$cache"/* "$(cache_of second)/"
run_in "$second" second STUB_NET=down scripts/setup.sh
check "a second clone with the cache filled needs no network" \
  eval '[ "$status" -eq 0 ] && unpacked "$second" && ! fetched second'

# A tarball cut short in the cache is fetched again, and the good copy replaces it.
cut=$(new_clone cut)
mkdir -p "$(cache_of cut)"
cp "$cache"/* "$(cache_of cut)/"
head -c 4096 "$cache/$libmad" >"$(cache_of cut)/$libmad"
run_in "$cut" cut scripts/setup.sh
check "a cut tarball in the cache is fetched again" \
  eval '[ "$status" -eq 0 ] && fetched cut && good_in "$(cache_of cut)" && unpacked "$cut"'

# A mirror that serves a cut tarball is refused: nothing unpacked, nothing left in the cache.
bad=$(new_clone bad)
run_in "$bad" bad STUB_CORRUPT=1 scripts/setup.sh
check "bad bytes from the mirror are refused and never unpacked" \
  eval '[ "$status" -eq 1 ] && says "wrong SHA-256" && [ ! -e "$bad/build/third_party/libmad-0.15.1b" ] &&
        [ ! -e "$(cache_of bad)/$libmad" ] && no_partial_files "$(cache_of bad)"'

# No network and an empty cache: the failure names the folder and says what to do.
offline=$(new_clone offline)
run_in "$offline" offline STUB_NET=down scripts/setup.sh
reason=$(sed -n '/could not obtain/,$p' <<<"$last_output")
check "no network with an empty cache says where the tarball goes and what to do" \
  eval '[ "$status" -eq 1 ] && grep -qF "$(cache_of offline)" <<<"$reason" && grep -q "$libmad_sha" <<<"$reason" &&
        grep -q "run setup again" <<<"$reason"'

# A relative XDG_CACHE_HOME is to be ignored (it would put the cache in whatever folder the
# command runs from, here the clone): the home's cache is used.
relative=$(new_clone relative)
mkdir -p "$(cache_of relative)"
cp "$cache"/* "$(cache_of relative)/"
run_in "$relative" relative XDG_CACHE_HOME=cache ./run setup
check "a relative XDG_CACHE_HOME is ignored" \
  eval '[ "$status" -eq 0 ] && [ ! -e "$relative/cache" ] && ! fetched relative && unpacked "$relative"'

# A relative VINTROVE_CACHE names a folder from where the command was started, with ./run as
# with the script itself, and the fallback download (apt-helper) lands there too.
caller="$scratch/caller"
mkdir -p "$caller"
named=$(new_clone named)
run_in "$caller" named STUB_SOURCE=uris VINTROVE_CACHE=my-cache "$named/run" setup
check "a relative VINTROVE_CACHE is taken from the caller's folder (./run setup)" \
  eval '[ "$status" -eq 0 ] && good_in "$caller/my-cache/downloads" && [ ! -e "$named/my-cache" ] && unpacked "$named"'
direct=$(new_clone direct)
run_in "$caller" direct STUB_SOURCE=uris VINTROVE_CACHE=other-cache "$direct/scripts/setup.sh"
check "a relative VINTROVE_CACHE is taken from the caller's folder (scripts/setup.sh)" \
  eval '[ "$status" -eq 0 ] && good_in "$caller/other-cache/downloads" && unpacked "$direct"'

# A cache folder that cannot be made: a setup line names it and the way out.
unwritable=$(new_clone unwritable)
run_in "$unwritable" unwritable VINTROVE_CACHE=/proc/vintrove-cache scripts/setup.sh
check "a cache folder that cannot be written is named, with the way out" \
  eval '[ "$status" -eq 1 ] && says "^setup: .*/proc/vintrove-cache.*VINTROVE_CACHE"'

# Two setups at once on one empty cache, each download stalling half way: each renames only a
# whole, checked file into the cache, so both end ready with good trees.
shared="$scratch/shared-cache"
one=$(new_clone one)
two=$(new_clone two)
at_once() {  # clone, name
  run_in "$1" "$2" STUB_SLOW=1 VINTROVE_CACHE="$shared" scripts/setup.sh
  echo "$status" >"$scratch/$2.status"
  printf '%s\n' "$last_output" >"$scratch/$2.output"
}
at_once "$one" one &
at_once "$two" two &
wait
last_output=$(cat "$scratch/one.output" "$scratch/two.output")
check "two setups at once on one cache both end ready" \
  eval '[ "$(cat "$scratch/one.status")" -eq 0 ] && [ "$(cat "$scratch/two.status")" -eq 0 ] && good_in "$shared/downloads" &&
        unpacked "$one" && unpacked "$two" && no_partial_files "$shared"'

finish
