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
start_orvalis
run "$driver" wait-window 30000 || exit 1
# The clock's labels are filled by its timer: up to 5 s for a time of day to show.
for _ in $(seq 1 25); do
  time_text=$(run "$driver" main-text 1007 | tr -d '\r')
  case "$time_text" in [0-2][0-9]:[0-5][0-9]" Uhr") break ;; esac
  sleep 0.2
done
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
run "$driver" close || exit 1
kill -0 "$orvalis_pid" 2>/dev/null || { echo "mainwindow: a close request ended the program"; exit 1; }
run "$driver" is-iconic || { echo "mainwindow: a close request did not minimise"; exit 1; }
rows=$(run "$driver" row-count | tr -d '\r')
[ "$rows" = 1 ] || { echo "mainwindow: the long-named task is not listed ($rows rows)"; exit 1; }
# The job timer fires with the window minimised (tick_realtime.sh waits for the real minute).
run "$driver" tick || exit 1
for _ in $(seq 1 50); do grep -q lang "$record" 2>/dev/null && break; sleep 0.2; done
grep -q lang "$record" 2>/dev/null || { echo "mainwindow: the task did not run while minimised"; exit 1; }

# "Minimiert starten" is stored; the window stays as it is; the next start is hidden.
run "$driver" option minimized || exit 1
run reg query 'HKCU\Software\Velmora\Orvalis' /v Minimized | tr -d '\r' | grep -q '0x1' \
  || { echo "mainwindow: Minimized=1 not stored"; exit 1; }
stop_orvalis
start_orvalis
# Through the start-up: the window exists, answers, and its thread waits for messages again.
run "$driver" responsive 30000 >/dev/null || { echo "mainwindow: no window after the restart"; exit 1; }
run "$driver" sync || exit 1
run "$driver" tray-present || { echo "mainwindow: the start-up did not finish (no tray icon)"; exit 1; }
run "$driver" is-visible; vis=$?
[ "$vis" = 3 ] || { echo "mainwindow: started shown although Minimiert starten ($vis)"; exit 1; }
run "$driver" option show || exit 1
run reg query 'HKCU\Software\Velmora\Orvalis' /v Minimized | tr -d '\r' | grep -q '0x0' \
  || { echo "mainwindow: Minimized=0 not stored"; exit 1; }
echo "mainwindow: ok"
