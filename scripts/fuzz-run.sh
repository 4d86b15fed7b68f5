#!/usr/bin/env bash
# fuzz-run.sh FUZZER CORPUS SECONDS: runs a libFuzzer target for a bounded
# time on inputs up to 64 KB (the most a version resource can claim), on a
# scratch copy of its seed corpus, so the kept corpus is not changed; with
# FUZZ_MERGE=1 the inputs that found new coverage are merged back into it
# afterwards. Crash inputs land in FUZZ_ARTIFACTS (default: the
# current folder).
set -eu
fuzzer=$1 corpus=$2 seconds=$3
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
[ -d "$corpus" ] && cp -r "$corpus"/. "$scratch"/
status=0
"$fuzzer" -max_total_time="$seconds" -max_len=65536 -print_final_stats=1 \
  -artifact_prefix="${FUZZ_ARTIFACTS:-$PWD}/" "$scratch" || status=$?
if [ "$status" = 0 ] && [ "${FUZZ_MERGE:-0}" = 1 ]; then
  "$fuzzer" -merge=1 "$corpus" "$scratch" >/dev/null 2>&1
fi
exit $status
