# Sourced by the run and test commands: a display for Wine when there is none.
# ovrelle_display starts Xvfb on a free display and exports DISPLAY.

# Wine 10's wineserver aborts when TMPDIR names a folder other than /tmp.
if [ -n "${TMPDIR:-}" ] && [ "$TMPDIR" != /tmp ]; then
  unset TMPDIR
fi
ovrelle_display() {
  if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
    echo "display: $DISPLAY (already running)"
    return 0
  fi
  # Xvfb picks a free display itself: lock files in /tmp do not show an X
  # server of another network namespace, but its socket still takes the number.
  OVRELLE_XVFB_DIR=$(mktemp -d)
  Xvfb -displayfd 3 -screen 0 2560x1600x24 -nolisten tcp \
    3>"$OVRELLE_XVFB_DIR/display" 2>"$OVRELLE_XVFB_DIR/log" &
  OVRELLE_XVFB_PID=$!
  local n=""
  for _ in $(seq 100); do
    n=$(head -n 1 "$OVRELLE_XVFB_DIR/display" 2>/dev/null || true)
    [ -n "$n" ] && break
    kill -0 "$OVRELLE_XVFB_PID" 2>/dev/null || break
    sleep 0.1
  done
  if [ -z "$n" ]; then
    echo "Xvfb did not start; it said:" >&2
    sed 's/^/  /' "$OVRELLE_XVFB_DIR/log" >&2
    ovrelle_display_stop
    return 1
  fi
  export DISPLAY=":$n"
  echo "display: $DISPLAY (Xvfb, process $OVRELLE_XVFB_PID)"
}

ovrelle_display_stop() {
  if [ -n "${OVRELLE_XVFB_PID:-}" ]; then
    kill "$OVRELLE_XVFB_PID" 2>/dev/null || true
    wait "$OVRELLE_XVFB_PID" 2>/dev/null || true
    OVRELLE_XVFB_PID=
  fi
  if [ -n "${OVRELLE_XVFB_DIR:-}" ]; then
    rm -rf "$OVRELLE_XVFB_DIR"
    OVRELLE_XVFB_DIR=
  fi
}

ovrelle_build() {
  cmake -S "$top" -B "$top/build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-w64-x86_64.cmake" >/dev/null
  cmake --build "$top/build" "$@"
}
