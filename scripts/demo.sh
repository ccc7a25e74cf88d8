#!/usr/bin/env bash
# The main job: builds both DLLs and shows what they export.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh >/dev/null
for preset in mingw-x86 mingw-x64; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" >/dev/null
  dll=build/$preset/Install/BrennowickInstallCA/BrennowickInstallCA.dll
  echo "== $dll ($(stat -c %s "$dll") bytes)"
  objdump -p "$dll" | sed -n '/Ordinal\/Name Pointer/,/^$/p'
  objdump -p "$dll" | grep 'DLL Name'
done
