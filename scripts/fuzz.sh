#!/usr/bin/env bash
# A fuzzing campaign: every fuzz target in turn for the given number of
# seconds (default 600), one job at a time, starting from the seeds in
# Install/Fuzz/corpus and what earlier campaigns in the same build folder
# found. Prints the executions of each target. Inputs that break a target are
# kept under <build>/Install/Fuzz/artifacts/.
#   scripts/fuzz.sh [seconds] [build folder, default build/fuzz]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-600}
build=${2:-build/fuzz}
cmake --preset fuzz -B "$build" -DBRENNOWICK_FUZZ_SECONDS="$seconds" >/dev/null
cmake --build "$build"
log="$build/fuzz-campaign.log"
status=0
ctest --test-dir "$build" -L fuzz -V >"$log" 2>&1 || status=$?
# "<n>: Test command: .../<target> ..." and "<n>: stat::number_of_executed_units: <runs>"
awk '/Test command:/ { split($0, words, " "); n = words[1]; sub(/.*\//, "", words[4]); name[n] = words[4] }
     /stat::number_of_executed_units:/ { runs[$1] = $NF }
     /stat::average_exec_per_sec:/ { rate[$1] = $NF }
     END { for (n in name) printf "%-20s %12s executions (%s per second)\n", name[n], runs[n], rate[n] }' "$log" | sort
grep -E '^[0-9]+/[0-9]+ Test' "$log" || true
exit "$status"
