#!/bin/bash
# Makes a 64-bit Wine prefix whose 32-bit side (syswow64) works, every Wine
# command going through scripts/wow64/run.
#
#   scripts/wow64/make-prefix.sh <prefix-dir>
#
# - no prefix there yet: creates it (WINEARCH=win64, wineboot -i);
# - a prefix this script made and whose 32-bit side answers: leaves it;
# - any other existing prefix (for instance one made without the wrapper,
#   whose 32-bit registrations are missing): repairs it by deleting its
#   .update-timestamp and running wineboot -u through the wrapper.
# Then waits for wineserver to finish and checks that a 32-bit program
# (syswow64\cmd.exe) runs and returns its exit code.  Prints the time taken.
# Every Wine command is guarded by a timeout (WOW64_TIMEOUT seconds for
# wineboot, 600 by default).  Wine's Mono and Gecko installers are skipped
# unless WINEDLLOVERRIDES is set.
#
# Run scripts/wow64/setup.sh once before.

set -euo pipefail

here=$(cd "$(dirname "$(readlink -f "${BASH_SOURCE[0]}")")" && pwd)
run=$here/run
wine64=/usr/lib/wine/wine64

if [ $# -ne 1 ] || [ -z "$1" ]; then
    echo "usage: scripts/wow64/make-prefix.sh <prefix-dir>" >&2
    exit 2
fi
mkdir -p "$(dirname "$1")"
prefix=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
started=$(date +%s.%N)
boot_timeout=${WOW64_TIMEOUT:-600}

say() { echo "make-prefix: $*"; }
die() {
    echo "make-prefix: FAILED: $*" >&2
    exit 1
}
elapsed() { awk -v s="$started" -v e="$(date +%s.%N)" 'BEGIN{printf "%.1f", e-s}'; }

export WINEPREFIX=$prefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES-mscoree,mshtml=}
unset WINEARCH

wine_cmd() {
    # wine_cmd <seconds> <command...>: a Wine command through the wrapper
    local limit=$1 rc=0
    shift
    timeout -k 10 "$limit" "$run" "$@" || rc=$?
    [ $rc -ne 124 ] && [ $rc -ne 137 ] || say "timed out after $limit s: $*"
    return $rc
}

# A 32-bit program of the prefix must start and hand back its exit code.
side32_works() {
    local rc=0
    wine_cmd 120 "$wine64" 'C:\windows\syswow64\cmd.exe' /c exit 37 >/dev/null 2>&1 || rc=$?
    [ $rc -eq 37 ]
}

if [ -e "$prefix" ] && [ ! -f "$prefix/system.reg" ] && [ -n "$(ls -A "$prefix")" ]; then
    die "$prefix exists and is not a Wine prefix"
fi

if [ ! -f "$prefix/system.reg" ]; then
    say "creating a 64-bit prefix in $prefix"
    WINEARCH=win64 wine_cmd "$boot_timeout" "$wine64" wineboot -i >/dev/null 2>&1 \
        || die "wineboot -i failed"
elif [ -f "$prefix/.wow64-ready" ] && side32_works; then
    say "$prefix is ready already ($(elapsed) s)"
    exit 0
else
    say "repairing the 32-bit side of $prefix"
    rm -f "$prefix/.wow64-ready" "$prefix/.update-timestamp"
    wine_cmd "$boot_timeout" "$wine64" wineboot -u >/dev/null 2>&1 \
        || die "wineboot -u failed"
fi
wine_cmd 300 wineserver -w || die "wineserver -w failed"

[ -f "$prefix/drive_c/windows/syswow64/kernel32.dll" ] \
    || die "$prefix has no syswow64\\kernel32.dll: its 32-bit side was not set up"
side32_works || die "a 32-bit program (syswow64\\cmd.exe) does not run in $prefix"
wine_cmd 60 wineserver -w || true
date -u +%Y-%m-%dT%H:%M:%SZ > "$prefix/.wow64-ready"
say "$prefix is ready ($(elapsed) s)"
