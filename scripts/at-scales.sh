#!/usr/bin/env bash
# Runs a test program under Wine at 96, 144 and 192 DPI: the prefix's
# LogPixels, with its wineserver restarted for each, and 96 again at the end.
set -u
test=$1; shift
: "${WINEPREFIX:?}"
scale() {
  wineserver -k 2>/dev/null
  wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1
  # The registry is written when the wineserver ends.
  wineserver -w 2>/dev/null
}
trap 'scale 96' EXIT
status=0
for dpi in 96 144 192; do
  scale "$dpi"
  echo "at $dpi DPI"
  wine "$test" "$@" || status=1
done
exit $status
