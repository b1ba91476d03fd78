#!/usr/bin/env bash
# Installs what is missing, builds Orvalis and starts it under Wine in the user's own prefix.
# Without a display it starts a virtual one, saves a screenshot, prints its path and keeps the
# program running until it is stopped (Ctrl+C).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
. tests/wine-env.sh

flavour=win32
orv_wine_i386_ok || flavour=win64  # this machine runs 64-bit programs only
cmake --preset "$flavour" >/dev/null
cmake --build --preset "$flavour" --target Orvalis
exe="$PWD/build/$flavour/src/Orvalis.exe"

. scripts/display.sh
export WINEPREFIX="${WINEPREFIX:-$HOME/.wine}"
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "run: preparing the Wine prefix $WINEPREFIX (once)"
  "$ORV_WINE" wineboot -i >/dev/null 2>&1
  wineserver -w
fi

"$ORV_WINE" "$exe" &
pid=$!
if [ "$ORV_HEADLESS" = 1 ]; then
  for _ in $(seq 1 100); do
    xdotool search --name '^Orvalis' >/dev/null 2>&1 && break
    sleep 0.2
  done
  sleep 1
  mkdir -p build/screenshots
  shot="$PWD/build/screenshots/orvalis-run.png"
  import -window root "$shot"
  echo "run: Orvalis runs on the virtual display $DISPLAY; screenshot: $shot"
  echo "run: press Ctrl+C to stop it"
fi
# Ctrl+C ends the Orvalis started here and nothing else: other Wine programs of the user's
# prefix keep running (its wine server ends by itself once nothing uses it).
trap 'kill $pid 2>/dev/null || true' INT TERM
wait $pid || true
