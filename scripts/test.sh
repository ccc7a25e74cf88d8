#!/usr/bin/env bash
# Every test: the host suite on the simulated Windows (with the fault sweep),
# the same under AddressSanitizer and UndefinedBehaviorSanitizer, each fuzz
# target for 20 seconds, then both DLLs built and their end-to-end suites run
# in Wine's installer engine.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
for preset in host host-sanitize fuzz mingw-x64 mingw-x86; do
  echo "=== $preset ==="
  cmake --workflow --preset "$preset" --fresh
done
