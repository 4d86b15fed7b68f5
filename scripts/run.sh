#!/usr/bin/env bash
# Builds Ovrelle and runs it under Wine. Without a display it runs on Xvfb,
# saves a screenshot to build/screenshot.png after a few seconds and closes.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
. "$top/scripts/env.sh"
bash "$top/scripts/setup.sh"
ovrelle_build --target Ovrelle

export WINEPREFIX=${WINEPREFIX:-$top/build/wineprefix-run} WINEDEBUG=-all
if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  exec "$top/scripts/wine-run.sh" "$top/build/Ovrelle.exe"
fi

# No display: a headless run for a screenshot.
wineserver -k 2>/dev/null || true
ovrelle_display
trap 'wineserver -k 2>/dev/null || true; ovrelle_display_stop' EXIT
"$top/scripts/wine-run.sh" "$top/build/Ovrelle.exe" &
app=$!
for _ in $(seq 60); do
  xdotool search --name '^Ovrelle$' >/dev/null 2>&1 && break
  sleep 0.5
done
sleep "${OVRELLE_SHOT_DELAY:-3}"
import -window root "$top/build/screenshot.png"
echo "screenshot: build/screenshot.png"
win=$(xdotool search --name '^Ovrelle$' 2>/dev/null | head -n 1 || true)
[ -n "$win" ] && xdotool windowclose "$win" 2>/dev/null || true
for _ in $(seq 20); do kill -0 "$app" 2>/dev/null || break; sleep 0.5; done
