# Starts Xvfb on a free display and stops it again, by PID. Source it.

KEELHAVEN_XVFB_PID=""

# Sets DISPLAY to a fresh Xvfb screen of 1920x1080.
keelhaven_xvfb_start() {
  local n
  for n in $(seq 90 189); do
    [[ -e "/tmp/.X$n-lock" || -e "/tmp/.X11-unix/X$n" ]] && continue
    Xvfb ":$n" -screen 0 1920x1080x24 -nolisten tcp </dev/null >/dev/null 2>&1 &
    KEELHAVEN_XVFB_PID=$!
    local tries
    for tries in $(seq 1 50); do
      if [[ -e "/tmp/.X11-unix/X$n" ]]; then
        export DISPLAY=":$n"
        return 0
      fi
      kill -0 "$KEELHAVEN_XVFB_PID" 2>/dev/null || break
      sleep 0.1
    done
    kill "$KEELHAVEN_XVFB_PID" 2>/dev/null
    KEELHAVEN_XVFB_PID=""
  done
  echo "xvfb: no free display" >&2
  return 1
}

keelhaven_xvfb_stop() {
  if [[ -n "$KEELHAVEN_XVFB_PID" ]]; then
    kill "$KEELHAVEN_XVFB_PID" 2>/dev/null
    wait "$KEELHAVEN_XVFB_PID" 2>/dev/null
    KEELHAVEN_XVFB_PID=""
  fi
}
