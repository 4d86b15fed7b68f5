#!/usr/bin/env bash
# bench.sh NAME [ARGS...]: builds the benchmark NAME (RefreshBench,
# ScalingBench, LimitedRefreshBench, DistinctFilesBench, ModuleBench,
# IdleBench, SoakBench, FileVersionBench) and runs it under Wine in the
# tests' prefix, on a display of its own when there is none. It
# prints the benchmark's "name value unit" lines.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
. "$top/scripts/env.sh"
name=${1:?usage: scripts/bench.sh NAME [ARGS...]}
shift
bash "$top/scripts/setup.sh" >&2
ovrelle_build --target "$name" >&2
export WINEPREFIX="$top/build/wineprefix" WINEDEBUG=-all
ovrelle_display >&2
trap 'wineserver -k 2>/dev/null || true; ovrelle_display_stop' EXIT
"$top/scripts/wine-run.sh" "$top/build/$name.exe" "$@"
