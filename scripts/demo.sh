#!/usr/bin/env bash
# The main job: builds both DLLs, builds the sample package around the 32-bit
# one (the product), installs it with Wine's msiexec in a 64-bit prefix, where
# the DLL runs in a 32-bit (WoW64) custom-action server through
# scripts/wow64/run, shows what the library's actions logged and published,
# then removes the product again.
#
# The prefix (build/demo/prefix) is kept between runs; the demo machine
# pretends to have IIS 7.5 (Install/SamplePackage/DemoMachine.reg), and the
# end-to-end suite's recorder stands in for APPCMD (no real IIS), cacls (Wine's
# is a stub that changes nothing) and net (the sample service does not exist),
# so that every command line the actions ran shows.
# DEMO_BUILD names another folder than build/ for the trees and the demo.
set -euo pipefail
cd "$(dirname "$0")/.."
started=$(date +%s)
repo=$PWD
builds=${DEMO_BUILD:-build}
demo=$builds/demo
run=$repo/scripts/wow64/run
wine64=/usr/lib/wine/wine64
product='{5D1B6E3A-8C47-4E29-9F1D-2A7C0B4E6F18}'

fail() {
    echo "demo: FAILED: $*" >&2
    exit 1
}
windows_path() { printf 'Z:%s' "${1//\//\\}"; }
# wine <seconds> <command...>: a Wine command in the demo prefix, through the wrapper.
wine() {
    local limit=$1
    shift
    timeout -k 10 "$limit" "$run" "$@"
}

scripts/setup.sh >/dev/null || fail "scripts/setup.sh could not prepare the machine"

for preset in mingw-x86 mingw-x64; do
    cmake --preset "$preset" -B "$builds/$preset" >/dev/null || fail "cmake --preset $preset"
    cmake --build "$builds/$preset" --target BrennowickInstallCA BrennowickRecorder >/dev/null \
        || fail "cmake --build $builds/$preset"
done
dll=$builds/mingw-x86/Install/BrennowickInstallCA/BrennowickInstallCA.dll
dll64=$builds/mingw-x64/Install/BrennowickInstallCA/BrennowickInstallCA.dll
recorder=$builds/mingw-x86/Install/WineTests/BrennowickRecorder.exe

mkdir -p "$demo"
demo=$(cd "$demo" && pwd)
# wixl finds the package's files beside the source, and the DLL only by a relative path.
wixl -D CaDll="$(realpath --relative-to=. "$dll")" -o "$demo/Sample.msi" Install/SamplePackage/Sample.wxs || fail "wixl could not build the sample package"

export WINEPREFIX=$demo/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
scripts/wow64/make-prefix.sh "$WINEPREFIX" >/dev/null || fail "cannot make the demo prefix $WINEPREFIX"
wine 60 "$wine64" regedit /S "$(windows_path "$repo/Install/SamplePackage/DemoMachine.reg")" \
    || fail "cannot import DemoMachine.reg"
# The 32-bit custom-action server runs from syswow64: bare names are found there.
for tool in inetsrv/APPCMD.exe cacls.exe net.exe; do
    mkdir -p "$WINEPREFIX/drive_c/windows/syswow64/$(dirname "$tool")"
    cp "$recorder" "$WINEPREFIX/drive_c/windows/syswow64/$tool"
done
export BRENNOWICK_E2E_RECORDER_LOG
BRENNOWICK_E2E_RECORDER_LOG=$(windows_path "$demo/tools.log")
if grep -qi "${product:1:36}" "$WINEPREFIX/system.reg" 2>/dev/null; then
    wine 120 "$wine64" msiexec /x "$product" /qn >/dev/null 2>&1 || true  # left by an interrupted run
fi
rm -f "$demo"/{install,remove}.log "$demo/tools.log"

# Prints, for each of our actions in a verbose log, its result and the lines
# it wrote (a deferred action shows where it ran, not where it was scheduled),
# then the properties the library published, as the log's last dump has them.
report() {
    iconv -f CP1252 -t UTF-8 "$1" | awk '
        BEGIN {
            n = split("InitializeProperties FindIIS CheckIfIIS7 CheckIISComponents CheckIIS7CompatibilityComponents " \
                      "ConfigureSecurity ConfigureASPNETOnIIS ConfigureASPNETOnIIS64 StartRequiredServices", list, " ")
            for (i = 1; i <= n; i++) ours[list[i]] = 1
            n = split("IIS_FOUND IIS7_FOUND LC2_ASPNET LC1_IIS6_COMPAT INTERNETEXPLORER REGIIS REGIIS64 COMPILE_APP " \
                      "COMPILE_APP_64 QVREPOSITORYNAME QVREPOSITORYPATH CREATOROWNER USERS ADMINISTRATORS " \
                      "NETWORKSERVICE INSTALL_PATH GoConfig MESSAGE", published, " ")
        }
        /^Action start [0-9:]+: / {
            name = $4; sub(/\.$/, "", name)
            if (name in ours) { current = name; lines[name] = ""; seen[name]++; if (!(name in order)) { order[name] = ++count; names[count] = name } }
            next
        }
        /^Action ended [0-9:]+: / && current != "" {
            result[current] = ($NF == "1.") ? "success" : "FAILED (return value " $NF ")"
            current = ""; next
        }
        current != "" { lines[current] = lines[current] "    | " $0 "\n"; next }
        /^Property\(S\): / { line = $0; sub(/^Property\(S\): /, "", line); eq = index(line, " = ")
                             value[substr(line, 1, eq - 1)] = substr(line, eq + 3) }
        END {
            for (i = 1; i <= count; i++) {
                name = names[i]
                printf "  %s (%s): %s\n%s", name, (seen[name] > 1 ? "deferred" : "immediate"), result[name], lines[name]
            }
            printf "  published:"
            column = 13; separator = " "
            for (i = 1; i in published; i++) {
                if (!(published[i] in value)) continue
                item = published[i] " = " value[published[i]]
                if (column + length(item) > 100) { printf "%s\n             ", separator == " " ? "" : ";"; column = 13; separator = "" }
                printf "%s%s", separator, item; column += length(separator item); separator = "; "
            }
            printf "\n"
        }'
}

install() {
    local verb=$1 log=$2 verb_arguments=$3 status=0 begin
    shift 3
    begin=$(date +%s.%N)
    wine 300 "$wine64" msiexec "$@" /qn /l*v "$(windows_path "$log")" >/dev/null 2>&1 || status=$?
    [ $status -ne 124 ] || fail "msiexec timed out"
    echo
    echo "-- $verb: msiexec $verb_arguments /qn /l*v $(basename "$log"): exit code $status" \
         "($(awk -v s="$begin" -v e="$(date +%s.%N)" 'BEGIN { printf "%.1f", e - s }') s)"
    [ -f "$log" ] || fail "msiexec wrote no log"
    report "$log"
}

echo "== Brennowick sample installation in Wine's installer engine"
echo "   built: $dll ($(($(stat -c %s "$dll") / 1024)) KB, the product)"
echo "          $dll64 ($(($(stat -c %s "$dll64") / 1024)) KB)"
echo "   package: ${demo#"$repo"/}/Sample.msi from Install/SamplePackage/Sample.wxs (32-bit)"
echo "   machine: 64-bit prefix ${WINEPREFIX#"$repo"/}: the DLL runs in a 32-bit (WoW64) custom-action server;"
echo "            it pretends to have IIS 7.5, and a recorder stands in for syswow64's inetsrv\\APPCMD, cacls and net"

install install "$demo/install.log" "/i Sample.msi" /i "$(windows_path "$demo/Sample.msi")"
if [ -s "$demo/tools.log" ]; then
    echo "  tools started, as the stand-ins received them:"
    tr -d '\r' < "$demo/tools.log" | while IFS=$'\t' read -r program line; do
        echo "    ${program#*windows\\}: $line"
    done
fi
install remove "$demo/remove.log" "/x $product" /x "$product"

wine 30 wineserver -k >/dev/null 2>&1 || true
echo
echo "demo finished in $(($(date +%s) - started)) s"
