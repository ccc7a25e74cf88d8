#!/bin/bash
# Runs the end-to-end driver under Wine for CTest (see README.md).
#
#   run-e2e.sh prefix  <x64|x86> <prefix>                            a fresh prefix, its wineserver kept running
#   run-e2e.sh family  <x64|x86> <prefix> <driver.exe> <dll> <family>   one family, each language in its own process
#   run-e2e.sh cleanup <x64|x86> <prefix>                            stops the wineserver, removes the prefix
#
# x64 runs Wine natively; x86 runs every Wine command through
# scripts/wow64/run (32-bit Windows through qemu-i386). Every Wine command is
# guarded by a timeout (E2E_TIMEOUT seconds for a driver run). A machine that
# lacks Wine or the 32-bit route fails here with the package to install.
set -uo pipefail

repo=$(cd "$(dirname "$(readlink -f "${BASH_SOURCE[0]}")")/../.." && pwd)
command=${1:-}
build=${2:-}
prefix=${3:-}
wine64=/usr/lib/wine/wine64

fail() {
    echo "e2e [$build]: FAILED: $*" >&2
    exit 1
}

case $build in
    x64 | x86) ;;
    *) fail "usage: run-e2e.sh prefix|family|cleanup x64|x86 <prefix> ..." ;;
esac
[ -n "$prefix" ] || fail "no prefix folder given"

export WINEPREFIX=$prefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
unset WINEARCH

[ -x "$wine64" ] || fail "Wine is not installed: $wine64 is missing (Debian packages wine and wine64; scripts/setup.sh installs them)"
if [ "$build" = x86 ]; then
    [ -x /usr/lib/wine/wine ] \
        || fail "the 32-bit Wine loader /usr/lib/wine/wine is missing (Debian package wine32:i386; scripts/wow64/setup.sh installs it)"
    [ -x "$repo/scripts/wow64/run" ] || fail "scripts/wow64/run is missing: the 32-bit route is not in this tree"
    route=$("$repo/scripts/wow64/run" true 2>&1) \
        || fail "the 32-bit route does not work here: ${route:-scripts/wow64/run failed} (scripts/wow64/setup.sh sets it up: wine32:i386 and qemu-i386 from bookworm-backports)"
fi

# wine <seconds> <command...>: one Wine command, through the wrapper for x86.
wine() {
    local limit=$1 rc=0
    shift
    if [ "$build" = x86 ]; then
        timeout -k 10 "$limit" "$repo/scripts/wow64/run" "$@" || rc=$?
    else
        timeout -k 10 "$limit" "$@" || rc=$?
    fi
    [ $rc -ne 124 ] && [ $rc -ne 137 ] || echo "e2e [$build]: timed out after $limit s: $*" >&2
    return $rc
}

# A Windows path of a Unix one, through the Z: drive of every new prefix.
windows_path() { printf 'Z:%s' "${1//\//\\}"; }

stop_wineserver() {
    [ -f "$prefix/system.reg" ] && wine 60 wineserver -k >/dev/null 2>&1
    return 0
}

case $command in
prefix)
    started=$(date +%s)
    stop_wineserver
    rm -rf "$prefix"
    if [ "$build" = x86 ]; then
        "$repo/scripts/wow64/make-prefix.sh" "$prefix" || fail "cannot make a 64-bit prefix with a 32-bit side in $prefix"
    else
        WINEARCH=win64 wine 600 "$wine64" wineboot -i >/dev/null 2>&1 || fail "wineboot -i failed in $prefix"
        wine 120 wineserver -w || fail "wineserver -w failed"
    fi
    # Kept running for the families, so that each driver starts in a warm prefix.
    wine 60 wineserver -p </dev/null >/dev/null 2>&1 || fail "cannot start wineserver for $prefix"
    echo "e2e [$build]: prefix $prefix ready in $(($(date +%s) - started)) s"
    ;;
family)
    driver=${4:-}
    dll=${5:-}
    family=${6:-}
    [ -f "$driver" ] && [ -f "$dll" ] && [ -n "$family" ] || fail "usage: run-e2e.sh family $build <prefix> <driver.exe> <dll> <family>"
    [ -f "$prefix/system.reg" ] || fail "no prefix in $prefix: the test e2e.$build.prefix makes it"
    [ -f "$(dirname "$driver")/Session.msi" ] || fail "$(dirname "$driver")/Session.msi is missing (wixl builds it)"
    limit=${E2E_TIMEOUT:-900}
    # Output goes through a file: Wine's services, started by the first
    # process, inherit it and live on with the prefix's wineserver, so a pipe
    # would never close.
    output=$(mktemp)
    trap 'rm -f "$output"' EXIT
    status=0
    wine "$limit" "$wine64" "$driver" --dll "$(windows_path "$dll")" --family "$family" >"$output" 2>&1 || status=$?
    cat "$output"
    # The driver names the languages whose cases need a process of their own.
    for language in $(sed -n 's/^languages of their own: //p' "$output" | tr -d '\r'); do
        wine "$limit" env LC_ALL="$language" "$wine64" "$driver" --dll "$(windows_path "$dll")" \
            --family "$family" --language "$language" >"$output" 2>&1 || status=$?
        cat "$output"
    done
    [ $status -eq 0 ] || fail "$family: some cases failed or the driver did not finish (exit code $status)"
    ;;
cleanup)
    stop_wineserver
    rm -rf "$prefix"
    ;;
*)
    fail "unknown command '$command' (prefix, family or cleanup)"
    ;;
esac
