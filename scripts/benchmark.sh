#!/usr/bin/env bash
# The benchmarks (never part of the tests): host micro-benchmarks on the
# simulated Windows, the library against raw Win32 under Wine's installer
# engine (x64), and the size of both DLLs.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh >/dev/null
root=$PWD
out=${BENCHMARK_DIR:-$root/build/benchmark}
mkdir -p "$out"

for preset in host mingw-x64 mingw-x86; do
  cmake --preset "$preset" -DCMAKE_BUILD_TYPE=MinSizeRel >/dev/null
  cmake --build --preset "$preset" >/dev/null
done

echo "== DLL sizes"
for arch in x86 x64; do
  dll=build/mingw-$arch/Install/BrennowickInstallCA/BrennowickInstallCA.dll
  stat -c %s "$dll" | awk -v arch="$arch" '{ printf "%s  %d bytes (%.1f KiB)\n", arch, $1, $1 / 1024 }'
done

echo "== Host micro-benchmarks (simulated Windows)"
build/host/Install/Benchmarks/BrennowickHostBenchmarks --benchmark_min_time=0.05 "$@"

echo "== Library against raw Win32 under Wine (x64)"
bin=build/mingw-x64/Install/Benchmarks/wine
wixl -o "$out/Benchmark.msi" Install/Benchmarks/wine/Benchmark.wxs
cp "$bin/NoOpTool.exe" "$bin/cacls.exe"
export WINEPREFIX=$out/prefix WINEDEBUG=-all
scripts/wow64/make-prefix.sh "$WINEPREFIX" >/dev/null
windows_path() { local p; p=$(readlink -f "$1"); echo "Z:${p//\//\\}"; }
timeout 900 scripts/wow64/run /usr/lib/wine/wine64 "$bin/ActionOverhead.exe" \
  "$(windows_path "$out/Benchmark.msi")" \
  "$(windows_path build/mingw-x64/Install/BrennowickInstallCA/BrennowickInstallCA.dll)" \
  "$(windows_path "$bin/MinimalAction.dll")"
timeout 60 scripts/wow64/run wineserver -w || true
