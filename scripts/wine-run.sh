#!/usr/bin/env bash
# Runs a Windows program under Wine in the build tree's own prefix
# (WINEPREFIX, set by the tests), creating the prefix on first use.
set -eu
: "${WINEPREFIX:?WINEPREFIX must name the test prefix}"
export WINEPREFIX WINEDEBUG=${WINEDEBUG:--all}
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$WINEPREFIX"
  (
    flock 9
    [ -f "$WINEPREFIX/system.reg" ] || wine wineboot -i >/dev/null 2>&1 || true
  ) 9>"$WINEPREFIX.lock"
fi
exec wine "$@"
