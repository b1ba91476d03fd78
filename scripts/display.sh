# Sourced: makes sure an X display exists for Wine's windows. Without one, a virtual display
# (Xvfb) is started for this shell and stopped when it exits.
if [ -z "${DISPLAY:-}" ] || ! xdpyinfo >/dev/null 2>&1; then
  for n in $(seq 91 140); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || break
  done
  Xvfb ":$n" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
  ORV_XVFB_PID=$!
  export DISPLAY=":$n"
  for _ in $(seq 1 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
  trap 'kill $ORV_XVFB_PID 2>/dev/null || true' EXIT
  ORV_HEADLESS=1
else
  ORV_HEADLESS=0
fi
