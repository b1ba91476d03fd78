# Sourced by the end-to-end scripts: runs Windows programs in the test run's prefix, starts and
# stops Orvalis, imports registry files and takes screenshots.
# Expects: prefix, exe, driver, shots.
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
run() { "$here/wine-run.sh" "$prefix" "$@"; }
winpath() { printf 'Z:%s' "${1//\//\\}"; }
# With ORV_OWN_PREFIX set, the script gets a Wine prefix (beside the run's, with that suffix)
# and a virtual display of its own, removed at its end: it shares no registry key and no screen
# with the other tests and runs beside them (for a test that mostly waits for real minutes).
if [ -n "${ORV_OWN_PREFIX:-}" ]; then
  unset DISPLAY
  . "$here/../scripts/display.sh"
  prefix="$prefix-$ORV_OWN_PREFIX"
  "$here/wine-prefix.sh" up "$prefix" >/dev/null || { echo "e2e: cannot make $prefix"; exit 1; }
fi
if [ -z "${DISPLAY:-}" ]; then echo "e2e: no display (the test command provides one)"; exit 1; fi
mkdir -p "$shots"

orvalis_pid=""
start_orvalis() {
  run "$exe" &
  orvalis_pid=$!
}
stop_orvalis() {
  [ -n "$orvalis_pid" ] || return 0
  run "$driver" quit >/dev/null 2>&1
  for _ in $(seq 1 50); do kill -0 "$orvalis_pid" 2>/dev/null || break; sleep 0.1; done
  kill "$orvalis_pid" 2>/dev/null
  orvalis_pid=""
}
leave() {
  stop_orvalis
  if [ -n "${ORV_OWN_PREFIX:-}" ]; then
    "$here/wine-prefix.sh" down "$prefix"
    [ -n "${ORV_XVFB_PID:-}" ] && kill "$ORV_XVFB_PID" 2>/dev/null
  fi
  return 0
}
trap leave EXIT

# Removes the program's registry keys, then imports a REGEDIT4 file given on standard input.
reset_registry() {
  run reg delete 'HKCU\Software\Velmora' /f >/dev/null 2>&1
  return 0
}
import_registry() {
  local file
  file="$(mktemp --suffix=.reg)"
  cat >"$file"
  run regedit /S "$(winpath "$file")" >/dev/null 2>&1
  rm -f "$file"
}
# The screen once the program has handled what it was sent and its windows have stopped
# changing: taken until two shots in a row are the same (at most five).
screenshot() {
  local file="$shots/$1.png" previous
  previous="$(mktemp --suffix=.png)"
  run "$driver" sync >/dev/null 2>&1
  import -window root "$previous" || { rm -f "$previous"; return 1; }
  for _ in 1 2 3 4; do
    import -window root "$file" || break
    [ "$(compare -metric AE "$previous" "$file" null: 2>&1)" = 0 ] && break
    mv -f "$file" "$previous"
  done
  [ -f "$file" ] || mv -f "$previous" "$file"
  rm -f "$previous"
  echo "e2e: screenshot $file"
}
