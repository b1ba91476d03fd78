#!/usr/bin/env bash
# The countdown before a system action. "Neustart" restarts the computer after a 5-second
# warning. Started with "Starten", it shows the countdown window, topmost, on the screen, with a
# taskbar button of its own (screenshot); "Abbrechen" hides it and nothing is restarted. Started
# again and left alone, it restarts at zero: the record below does see a call when one is made.
# Where the restart would go: in a Wine prefix of its own (ORV_OWN_PREFIX), ExitWindowsEx starts
# the system directory's wineboot.exe, which the argument recorder replaces here, so every power
# call of the program leaves a line ("--end-session" for a restart) and ends nothing.
# Wine starts the 64-bit wineboot.exe in the test's 64-bit prefix whatever the program's own
# kind, so the recorder given here is a 64-bit program in both builds.
# Usage: countdown.sh PREFIX ORVALIS_EXE DRIVER_EXE SCREENSHOT_DIR RECORD_ARGS_EXE
set -u
prefix="$1"; exe="$2"; driver="$3"; shots="$4"; recorder="$5"
. "$(dirname "$0")/lib.sh"
fail() { echo "countdown: $*"; exit 1; }
[ -n "${ORV_OWN_PREFIX:-}" ] || fail "needs a prefix of its own (ORV_OWN_PREFIX)"

record="$(mktemp -d)/record.txt"
export ORV_RECORD_FILE="$(winpath "$record")"
cp "$recorder" "$prefix/drive_c/windows/system32/wineboot.exe" || fail "cannot replace wineboot"
run reg add 'HKCU\Software\Wine\DllOverrides' /v wineboot.exe /t REG_SZ /d native /f >/dev/null 2>&1
calls() { local n; n=$(grep -c -- --end-session "$record" 2>/dev/null); echo "${n:-0}"; }

reset_registry
import_registry <<'REG'
REGEDIT4

[HKEY_CURRENT_USER\Software\Velmora\Orvalis\Jobs\Neustart]
"TaskType"=dword:00000002
"System"=dword:00000000
"ForceNot"=dword:00000001
"TaskAuto"=dword:00000000
"IntEnabled"=dword:00000001
"Intervall"=dword:00000258
"TimeEnabled"=dword:00000000
"Confirm"=dword:00000000
"WarnEnabled"=dword:00000001
"WarnSeconds"=dword:00000005
REG

start_orvalis
run "$driver" wait-window 30000 || exit 1
run "$driver" wait-rows 1 10000 || fail "the task is not listed"

run "$driver" select 0
run "$driver" click-main 1005  # "Starten"
run "$driver" wait-class TFormCountdown 10000 || fail "no countdown"
run "$driver" reachable TFormCountdown || fail "the countdown is not reachable"
line=$(run "$driver" control-text TFormCountdown 1302 | tr -d '\r')
echo "countdown: $line"
case "$line" in
  "Der Computer wird in "[1-5]" Sekunde"*" neu gestartet.") ;;
  *) fail "the line reads '$line'" ;;
esac
screenshot countdown
run "$driver" click TFormCountdown 1305  # "Abbrechen"
run "$driver" wait-class TFormCountdown 200 >/dev/null 2>&1 && fail "the countdown still shows"

# Again, left to reach zero: the restart is made then, and only this one.
run "$driver" click-main 1005
run "$driver" wait-class TFormCountdown 10000 || fail "no second countdown"
# The window goes when the countdown reaches zero and the call is made.
for _ in $(seq 1 75); do run "$driver" wait-class TFormCountdown 1 >/dev/null 2>&1 || break; sleep 0.2; done
run "$driver" wait-class TFormCountdown 1 >/dev/null 2>&1 && fail "the countdown did not end"
for _ in $(seq 1 50); do [ "$(calls)" != 0 ] && break; sleep 0.2; done
[ "$(calls)" = 1 ] || fail "$(calls) restart(s) recorded, expected the second countdown's one"
cat "$record"
echo "countdown: shown, cancelled without a restart; left alone, it restarted at zero"
