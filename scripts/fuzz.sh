#!/bin/sh
# Runs each fuzz target for the given number of seconds, one after the other
# on one core, from the seeds, the committed regressions and what earlier runs
# found; then prints each target's figures. Findings land in <dir>/findings.
set -eu
dir=$(cd "$1" && pwd) # the targets change directory while they run
seconds=$2
here=$(cd "$(dirname "$0")/.." && pwd)
mkdir -p "$dir/findings"
for name in map_reader map_bytes commands; do
    mkdir -p "$dir/corpus/$name"
    echo "fuzzing $name for $seconds s (log: $dir/fuzz_$name.log)"
    status=0
    nice "$dir/tests/fuzz/fuzz_$name" -max_total_time="$seconds" -max_len=16384 -timeout=10 \
        -report_slow_units=1 -print_final_stats=1 -dict="$here/tests/fuzz/kep.dict" \
        -artifact_prefix="$dir/findings/$name-" \
        "$dir/corpus/$name" "$dir/seeds/$name" "$here/tests/fuzz/regressions/$name" \
        >"$dir/fuzz_$name.log" 2>&1 || status=$?
    grep -E '^#[0-9]+ +(DONE|INITED)|stat::number_of_executed_units|stat::average_exec_per_sec|Slowest unit|ERROR|SUMMARY' \
        "$dir/fuzz_$name.log" || true
    if [ "$status" -ne 0 ]; then
        echo "fuzz_$name stopped with a finding (status $status): see $dir/fuzz_$name.log"
        exit "$status"
    fi
done
