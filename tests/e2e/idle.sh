#!/usr/bin/env bash
# Idle detection in the running program, in real time (about two minutes): while the mouse
# moves over the window, the idle task "Ruhe" (1 idle minute) does not run at the first tick;
# about 10 s after the last input "Leerlauf" shows (screenshot); input hides it again; left
# alone, the task runs at the next tick.
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

# Active user through the first tick.
while [ $(( $(date +%s) - t0 )) -lt 70 ]; do
  nudge
  label_shown && { echo "idle: 'Leerlauf' shows while the mouse moves"; exit 1; }
  sleep 3
done
[ -s "$record" ] && { echo "idle: the idle task ran while the user was active"; exit 1; }
echo "idle: not run at the first tick while the user was active"

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

# Left alone again, the task runs at the next tick (two minutes after the start).
for _ in $(seq 1 100); do label_shown && break; sleep 0.2; done
label_shown || { echo "idle: no second idle period"; exit 1; }
until [ -s "$record" ] || [ $(( $(date +%s) - t0 )) -gt 135 ]; do sleep 1; done
grep -q "Leerlauf-Task" "$record" || { echo "idle: the idle task did not run at the tick"; exit 1; }
echo "idle: the idle task ran $(( $(date +%s) - t0 )) s after the start"
run "$driver" rows | tr -d '\r' | grep -qF 'Ruhe | 1 Minute(n) | Leerlauf' \
  || { echo "idle: the row was not given its full count again"; run "$driver" rows; exit 1; }
