#!/usr/bin/env bash
# figures.sh [series]: the list's figures measured together, a series at a
# time (three in a row by default), each beside its target: the warm
# refresh beside 200 children of which 40 are limited, with none and with
# 20 new processes; the cold start beside 150 distinct executables; the
# first click on a process of many modules; the idle tick. The benchmarks'
# whole output stays in build/figures. Exits non-zero when a figure misses
# its target or a benchmark fails its own soundness checks.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
series=${1:-3}
out=$top/build/figures
mkdir -p "$out"
status=0

# check FILE NAME TARGET [information]
check() {
    local value verdict
    value=$(awk -v name="$2" '$1 == name { print $2 }' "$1")
    if [ -z "$value" ]; then
        echo "  $2: not printed (see $1)"
        status=1
        return
    fi
    if [ "${4:-}" = information ]; then
        verdict="for information"
    elif awk -v v="$value" -v t="$3" 'BEGIN { exit !(v <= t) }'; then
        verdict=met
    else
        verdict=MISSED
        status=1
    fi
    printf '  %-36s %7s   target %-4s %s\n' "$2" "$value" "$3" "$verdict"
}

for s in $(seq 1 "$series"); do
    echo "series $s of $series ($(date -u +%H:%M:%S))"
    for bench in LimitedRefreshBench DistinctFilesBench ModuleBench IdleBench; do
        if ! bash "$top/scripts/bench.sh" "$bench" >"$out/$bench.$s.txt" 2>"$out/$bench.$s.log"; then
            echo "  $bench failed: $out/$bench.$s.txt, $out/$bench.$s.log"
            status=1
        fi
    done
    check "$out/LimitedRefreshBench.$s.txt" warm_refresh_to_limited_floor 0.35
    check "$out/LimitedRefreshBench.$s.txt" refresh_with_new_to_limited_floor 0.5
    check "$out/DistinctFilesBench.$s.txt" distinct_to_floor 1.1
    check "$out/ModuleBench.$s.txt" first_click_to_floor 1.2
    # The status bar reads the memory load at every tick; the floor that
    # does so too is the one the tick can reach (see the README).
    check "$out/IdleBench.$s.txt" idle_cpu_to_floor_memory 1.1
    check "$out/IdleBench.$s.txt" idle_cpu_to_floor 1.1 information
done
exit $status
