#!/usr/bin/env bash
# Idle detection in the running program with real input (about 40 s): while the mouse moves
# over the window, "Leerlauf" never shows and the idle task "Ruhe" (1 idle minute) does not run
# at a tick (the clock task "Uhr" runs there as the sentinel); about 10 s after the last input
# "Leerlauf" shows (screenshot); input hides it again; left alone, the task runs at the next
# tick. The driver fires the job timer; tick_realtime.sh waits for the real minutes.
# Usage: idle.sh PREFIX ORVALIS_EXE DRIVER_EXE SCREENSHOT_DIR RECORD_ARGS_EXE
set -u
prefix="$1"; exe="$2"; driver="$3"; shots="$4"; recorder="$5"
. "$(dirname "$0")/lib.sh"
command -v xdotool >/dev/null || { echo "idle: xdotool is missing"; exit 1; }

record="$(mktemp -d)/record.txt"
export ORV_RECORD_FILE="$(winpath "$record")"
program="$(winpath "$recorder")"
reset_registry
import_registry <<REG
REGEDIT4

[HKEY_CURRENT_USER\Software\Velmora\Orvalis\Jobs\Ruhe]
"TaskType"=dword:00000000
"Program"="${program//\\/\\\\}"
"ProgramShow"="SW_HIDE"
"Param"=dword:00000001
"ParamString"="Leerlauf-Task"
"TaskAuto"=dword:00000001
"OnIdle"=dword:00000001
"IdleTime"=dword:00000001

[HKEY_CURRENT_USER\Software\Velmora\Orvalis\Jobs\Uhr]
"TaskType"=dword:00000000
"Program"="${program//\\/\\\\}"
"ProgramShow"="SW_HIDE"
"Param"=dword:00000001
"ParamString"="Uhr-Task"
"TaskAuto"=dword:00000000
"IntEnabled"=dword:00000001
"Intervall"=dword:00000001
"TimeEnabled"=dword:00000000
"Confirm"=dword:00000000
"Recover"=dword:00000000
REG

# Real pointer movement on the display over the program's window (centred on the screen).
read -r sw sh < <(xdpyinfo | awk '/dimensions:/ { split($2, d, "x"); print d[1], d[2] }')
cx=$((sw / 2)); cy=$((sh / 2))
nudge() {
  xdotool mousemove $((cx - 40 + RANDOM % 20)) $((cy + 60))
  sleep 0.2
  xdotool mousemove $((cx + 20 + RANDOM % 20)) $((cy + 70))
}
label_shown() { run "$driver" shown 1008 >/dev/null 2>&1; }

xdotool mousemove "$cx" "$cy"
start_orvalis
run "$driver" wait-window 30000 || exit 1
t0=$(date +%s)

# An active user, for longer than the 10 s after which an idle period would begin, then a tick.
while [ $(( $(date +%s) - t0 )) -lt 15 ]; do
  nudge
  label_shown && { echo "idle: 'Leerlauf' shows while the mouse moves"; exit 1; }
  sleep 3
done
nudge
run "$driver" tick || exit 1
for _ in $(seq 1 50); do grep -q "Uhr-Task" "$record" 2>/dev/null && break; sleep 0.2; done
grep -q "Uhr-Task" "$record" 2>/dev/null || { echo "idle: the clock task did not run at the tick"; exit 1; }
grep -q "Leerlauf-Task" "$record" && { echo "idle: the idle task ran while the user was active"; exit 1; }
echo "idle: not run at a tick while the user was active"

# Left alone: the idle period begins about 10 s after the last input.
nudge
last=$(date +%s%N)
for _ in $(seq 1 100); do label_shown && break; sleep 0.2; done
label_shown || { echo "idle: 'Leerlauf' did not show"; exit 1; }
after=$(( ($(date +%s%N) - last) / 1000000 ))
echo "idle: 'Leerlauf' shows $after ms after the last input"
[ "$after" -ge 8000 ] && [ "$after" -le 16000 ] || { echo "idle: expected about 10 s"; exit 1; }
[ "$(run "$driver" main-text 1008 | tr -d '\r')" = "Leerlauf" ] || { echo "idle: wrong label text"; exit 1; }
screenshot idle_label

# Input ends the idle period at once.
nudge
for _ in $(seq 1 20); do label_shown || break; sleep 0.1; done
label_shown && { echo "idle: 'Leerlauf' still shows after input"; exit 1; }
echo "idle: hidden again on input"

# Left alone again, the task runs at the next tick.
for _ in $(seq 1 100); do label_shown && break; sleep 0.2; done
label_shown || { echo "idle: no second idle period"; exit 1; }
run "$driver" tick || exit 1
for _ in $(seq 1 50); do grep -q "Leerlauf-Task" "$record" 2>/dev/null && break; sleep 0.2; done
grep -q "Leerlauf-Task" "$record" || { echo "idle: the idle task did not run at the tick"; exit 1; }
echo "idle: the idle task ran at the tick in the idle period"
run "$driver" rows | tr -d '\r' | grep -qF 'Ruhe | 1 Minute(n) | Leerlauf' \
  || { echo "idle: the row was not given its full count again"; run "$driver" rows; exit 1; }
