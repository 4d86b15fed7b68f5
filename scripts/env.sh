# Sourced by the run and test commands: a display for Wine when there is none.
# ovrelle_display starts Xvfb on a free display and exports DISPLAY.
ovrelle_display() {
  if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then return 0; fi
  local n=90
  while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
  Xvfb ":$n" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
  OVRELLE_XVFB_PID=$!
  export DISPLAY=":$n"
  for _ in $(seq 50); do
    [ -e "/tmp/.X11-unix/X$n" ] && return 0
    sleep 0.1
  done
  echo "Xvfb did not start" >&2
  return 1
}

ovrelle_display_stop() {
  if [ -n "${OVRELLE_XVFB_PID:-}" ]; then
    kill "$OVRELLE_XVFB_PID" 2>/dev/null || true
    wait "$OVRELLE_XVFB_PID" 2>/dev/null || true
  fi
}

ovrelle_build() {
  cmake -S "$top" -B "$top/build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-w64-x86_64.cmake" >/dev/null
  cmake --build "$top/build" "$@"
}
