#!/usr/bin/env bash
# Makes (up) or removes (down) the throw-away Wine prefix of one test run. The wineserver is
# kept running between tests so that each test process starts fast.
set -u
action="$1"; prefix="$2"
. "$(dirname "$0")/wine-env.sh"
export WINEPREFIX="$prefix"
case "$action" in
  up)
    wineserver -k 2>/dev/null || true
    rm -rf "$prefix"
    mkdir -p "$(dirname "$prefix")"
    # Everything Wine starts in the background gets no handle of ours: ctest waits for its
    # output pipes to close.
    "$ORV_WINE" wineboot -i </dev/null >/dev/null 2>&1
    # Xvfb has no window manager: unmanaged windows spare Wine a 2 s wait each time an active
    # window is hidden (every answered question, and the shell's tray window when its last icon
    # goes). Set before the wait below, so that every Wine process of the tests, the shell
    # (explorer.exe) included, starts afterwards and reads it.
    "$ORV_WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f \
      </dev/null >/dev/null 2>&1
    wineserver -w </dev/null >/dev/null 2>&1
    wineserver -p </dev/null >/dev/null 2>&1  # stays up, without a time-out, until "down"
    test -f "$prefix/system.reg" || { echo "wine-prefix: $prefix was not created" >&2; exit 1; }
    echo "wine-prefix: $prefix ready ($ORV_WINE)"
    ;;
  down)
    wineserver -k 2>/dev/null || true
    rm -rf "$prefix"
    ;;
  *) echo "usage: wine-prefix.sh up|down PREFIX" >&2; exit 2 ;;
esac
