#!/usr/bin/env bash
# Builds everything and runs every test: the Windows build under Wine (in a
# prefix inside build/) and the host build of the portable units under
# AddressSanitizer and UBSan, with bounded fuzzing.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
. "$top/scripts/env.sh"
bash "$top/scripts/setup.sh"

ovrelle_build
cmake -S "$top" -B "$top/build-host" -G Ninja \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$top/build-host"

export WINEPREFIX="$top/build/wineprefix" WINEDEBUG=-all
wineserver -k 2>/dev/null || true
ovrelle_display
trap 'wineserver -k 2>/dev/null || true; ovrelle_display_stop' EXIT

status=0
ctest --test-dir "$top/build-host" --output-on-failure || status=1
ctest --test-dir "$top/build" --output-on-failure || status=1
exit $status
