#!/usr/bin/env bash
# Builds Ovrelle and runs it under Wine. Without a display it runs on Xvfb,
# clicks the first process, saves a screenshot to build/screenshot.png and
# closes the program.
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
# Click the first process row, so that the module list shows its modules.
win=$(xdotool search --name '^Ovrelle$' 2>/dev/null | head -n 1 || true)
if [ -n "$win" ]; then
  eval "$(xdotool getwindowgeometry --shell "$win")"
  xdotool mousemove $((X + 300)) $((Y + 50)) click 1 2>/dev/null || true
  sleep 2
fi
import -window root "$top/build/screenshot.png"
echo "screenshot: build/screenshot.png"
# Alt+F4 closes the window as a user would, so the settings are written.
xdotool key alt+F4 2>/dev/null || true
for _ in $(seq 20); do kill -0 "$app" 2>/dev/null || break; sleep 0.5; done
