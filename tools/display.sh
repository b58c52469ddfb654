# Sourced by tools that need a display without having one: start_display starts Xvfb on a free
# display, exports DISPLAY and sets xvfb to its pid (the caller stops it); stop_display stops it.
xvfb=""

start_display() {
  local fdfile n
  fdfile=$(mktemp)
  # -displayfd lets Xvfb pick a free display itself and tells us which once it is ready.
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fdfile" >/dev/null 2>&1 &
  xvfb=$!
  for _ in $(seq 1 100); do
    [ -s "$fdfile" ] && break
    sleep 0.1
  done
  n=$(tr -d '[:space:]' <"$fdfile")
  rm -f "$fdfile"
  [ -n "$n" ] || { echo "$(basename "$0"): Xvfb did not start" >&2; return 1; }
  export DISPLAY=":$n"
  xdpyinfo >/dev/null 2>&1 || { echo "$(basename "$0"): display $DISPLAY does not answer" >&2; return 1; }
  echo "$(basename "$0"): Xvfb on $DISPLAY"
}

stop_display() {
  if [ -n "$xvfb" ]; then
    kill "$xvfb" 2>/dev/null || true
    wait "$xvfb" 2>/dev/null || true
  fi
}
