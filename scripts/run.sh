#!/usr/bin/env bash
# Builds Ovrelle and runs it under Wine. Without a display it runs on Xvfb,
# clicks Ovrelle's own row in the process list (so the module list shows its
# modules), saves a screenshot to build/screenshot.png and closes the program.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
. "$top/scripts/env.sh"
bash "$top/scripts/setup.sh"
ovrelle_build --target Ovrelle OwnRow

export WINEPREFIX=${WINEPREFIX:-$top/build/wineprefix-run} WINEDEBUG=-all
if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  exec "$top/scripts/wine-run.sh" "$top/build/Ovrelle.exe"
fi

# No display: a headless run for a screenshot. The helper that finds the row
# (scripts/own-row.cpp) reads the window from outside, as any program on the
# desktop can.
helper="$top/build/own-row.exe"

wineserver -k 2>/dev/null || true
ovrelle_display
trap 'wineserver -k 2>/dev/null || true; ovrelle_display_stop' EXIT
"$top/scripts/wine-run.sh" "$top/build/Ovrelle.exe" &
app=$!
# The helper starts once the window shows, so that it is no row of the list.
if ! timeout 60 xdotool search --sync --onlyvisible --name '^Ovrelle$' >/dev/null 2>&1; then
  echo "run: Ovrelle's window did not appear" >&2
  exit 1
fi
# Ovrelle's own row, found by its Process ID cell, clicked as a person would.
if ! at=$("$top/scripts/wine-run.sh" "$helper" | tr -d '\r'); then
  echo "run: Ovrelle's window did not show its own process" >&2
  exit 1
fi
# shellcheck disable=SC2086
xdotool mousemove $at click 1
"$top/scripts/wine-run.sh" "$helper" modules >/dev/null
sleep "${OVRELLE_SHOT_DELAY:-1}"  # the icons and the status bar paint
# The screen is larger than the window (room for it at 200 %): only the
# window's rectangle is kept.
import -window root "$top/build/screenshot.png"
window=$(xdotool search --onlyvisible --name '^Ovrelle$' | head -1)
if geometry=$(xdotool getwindowgeometry --shell "$window" 2>/dev/null); then
  eval "$geometry"
  convert "$top/build/screenshot.png" -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$top/build/screenshot.png"
fi
echo "screenshot: build/screenshot.png"
# Alt+F4 closes the window as a user would, so the settings are written.
xdotool key alt+F4 2>/dev/null || true
for _ in $(seq 20); do kill -0 "$app" 2>/dev/null || break; sleep 0.5; done
