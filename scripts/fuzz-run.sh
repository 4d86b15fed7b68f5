#!/usr/bin/env bash
# fuzz-run.sh FUZZER CORPUS SECONDS: runs a libFuzzer target for a bounded
# time on a scratch copy of its seed corpus (the kept corpus is not changed).
set -eu
fuzzer=$1 corpus=$2 seconds=$3
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
[ -d "$corpus" ] && cp -r "$corpus"/. "$scratch"/
exec "$fuzzer" -max_total_time="$seconds" -print_final_stats=1 -artifact_prefix="${FUZZ_ARTIFACTS:-$PWD}/" "$scratch"
