#!/usr/bin/env bash
# The main window's rules: one instance only, a close request minimises instead of ending and
# tasks still run, the start option is stored and obeyed at the next start, the clock shows the
# date and time; a task name far longer than the editor allows, stored by another program, is
# listed and run like any other.
# Usage: mainwindow.sh PREFIX ORVALIS_EXE DRIVER_EXE SCREENSHOT_DIR RECORD_ARGS_EXE
set -u
prefix="$1"; exe="$2"; driver="$3"; shots="$4"; recorder="$5"
. "$(dirname "$0")/lib.sh"

record="$(mktemp -d)/record.txt"
export ORV_RECORD_FILE="$(winpath "$record")"
program="$(winpath "$recorder")"
long="Ein sehr langer Name$(printf ' und noch mehr%.0s' $(seq 1 14))"  # about 200 characters
reset_registry
import_registry <<REG
REGEDIT4

[HKEY_CURRENT_USER\Software\Velmora\Orvalis\Jobs\\$long]
"TaskAuto"=dword:00000000
"IntEnabled"=dword:00000001
"Intervall"=dword:00000001
"TimeEnabled"=dword:00000000
"Confirm"=dword:00000000
"TaskType"=dword:00000000
"Program"="${program//\\/\\\\}"
"ProgramShow"="SW_HIDE"
"Param"=dword:00000001
"ParamString"="lang"
REG
t0=$(date +%s)
start_orvalis
run "$driver" wait-window 30000 || exit 1
sleep 1.5  # the clock has ticked
screenshot mainwindow
date_text=$(run "$driver" main-text 1006 | tr -d '\r')
time_text=$(run "$driver" main-text 1007 | tr -d '\r')
echo "mainwindow: clock shows \"$date_text\" / \"$time_text\""
case "$time_text" in [0-2][0-9]:[0-5][0-9]" Uhr") ;; *) echo "mainwindow: bad time label"; exit 1 ;; esac
case "$date_text" in *", "[0-3][0-9]". "*" "[12][0-9][0-9][0-9]) ;; *) echo "mainwindow: bad date label"; exit 1 ;; esac

# A second instance shows nothing and ends by itself.
run "$exe" & second=$!
for _ in $(seq 1 100); do kill -0 $second 2>/dev/null || break; sleep 0.1; done
if kill -0 $second 2>/dev/null; then kill $second; echo "mainwindow: the second instance kept running"; exit 1; fi
run "$driver" is-visible || { echo "mainwindow: the first window changed"; exit 1; }

# Closing minimises; the program goes on.
run "$driver" close
sleep 1
kill -0 "$orvalis_pid" 2>/dev/null || { echo "mainwindow: a close request ended the program"; exit 1; }
run "$driver" is-iconic || { echo "mainwindow: a close request did not minimise"; exit 1; }
rows=$(run "$driver" row-count | tr -d '\r')
[ "$rows" = 1 ] || { echo "mainwindow: the long-named task is not listed ($rows rows)"; exit 1; }
# The first tick comes a minute after the start, with the window minimised.
until [ $(( $(date +%s) - t0 )) -gt 75 ]; do grep -q lang "$record" 2>/dev/null && break; sleep 2; done
grep -q lang "$record" 2>/dev/null || { echo "mainwindow: the task did not run while minimised"; exit 1; }

# "Minimiert starten" is stored; the window stays as it is; the next start is hidden.
run "$driver" option minimized
sleep 0.5
run reg query 'HKCU\Software\Velmora\Orvalis' /v Minimized | tr -d '\r' | grep -q '0x1' \
  || { echo "mainwindow: Minimized=1 not stored"; exit 1; }
stop_orvalis
sleep 1
start_orvalis
sleep 4
run "$driver" is-visible; vis=$?
[ "$vis" = 3 ] || { echo "mainwindow: started shown although Minimiert starten ($vis)"; exit 1; }
run "$driver" option show
sleep 0.5
run reg query 'HKCU\Software\Velmora\Orvalis' /v Minimized | tr -d '\r' | grep -q '0x0' \
  || { echo "mainwindow: Minimized=0 not stored"; exit 1; }
echo "mainwindow: ok"
