#!/usr/bin/env bash
# A question stays reachable while the main window is in the notification area:
#  - "Frage" asks at a tick; a close request sends the window into the tray while the question
#    is open; the question stays shown, wholly on the screen, with its own taskbar button
#    (screenshot over the hidden main window), and "Ja" runs the task;
#  - the next question comes while the window is already in the tray: it shows as well, and
#    "Ja" runs the task again.
# Usage: question_tray.sh PREFIX ORVALIS_EXE DRIVER_EXE SCREENSHOT_DIR RECORD_ARGS_EXE
set -u
prefix="$1"; exe="$2"; driver="$3"; shots="$4"; recorder="$5"
. "$(dirname "$0")/lib.sh"

record="$(mktemp -d)/record.txt"
export ORV_RECORD_FILE="$(winpath "$record")"
program="$(winpath "$recorder")"
program="${program//\\/\\\\}"
reset_registry
import_registry <<REG
REGEDIT4

[HKEY_CURRENT_USER\\Software\\Velmora\\Orvalis\\Jobs\\Frage]
"TaskType"=dword:00000000
"Program"="$program"
"ProgramShow"="SW_HIDE"
"Param"=dword:00000001
"ParamString"="Frage"
"TaskAuto"=dword:00000000
"IntEnabled"=dword:00000001
"Intervall"=dword:00000001
"TimeEnabled"=dword:00000000
"Confirm"=dword:00000001
"Recover"=dword:00000001
REG

runs() { local n; n=$(grep -c Frage "$record" 2>/dev/null); echo "${n:-0}"; }
wait_runs() {  # until the task has run N times (10 s)
  for _ in $(seq 1 50); do [ "$(runs)" = "$1" ] && return 0; sleep 0.2; done
  echo "question_tray: Frage ran $(runs) time(s), expected $1"; exit 1
}
# Asks for a tick unless one is already asking (the job timer may have fired by itself).
ask() {
  run "$driver" wait-class TFormConfirm 500 >/dev/null 2>&1 || run "$driver" tick
  run "$driver" wait-class TFormConfirm 20000 || { echo "question_tray: no question"; exit 1; }
}

start_orvalis
run "$driver" wait-window 30000 || exit 1

# The window goes into the tray while the question is open.
ask
run "$driver" close
for _ in $(seq 1 50); do run "$driver" is-visible || break; sleep 0.2; done
run "$driver" is-visible && { echo "question_tray: the window did not go into the tray"; exit 1; }
run "$driver" tray-present || { echo "question_tray: no tray icon"; exit 1; }
run "$driver" reachable TFormConfirm || { echo "question_tray: the question went with the window"; exit 1; }
screenshot question_tray_minimised
[ "$(runs)" = 0 ] || { echo "question_tray: ran before the answer"; exit 1; }
run "$driver" click TFormConfirm 1104  # "Ja"
wait_runs 1

# A question raised while the window is already in the tray.
run "$driver" is-visible && { echo "question_tray: the window came back by itself"; exit 1; }
ask
run "$driver" reachable TFormConfirm || { echo "question_tray: the question does not show"; exit 1; }
screenshot question_tray_raised
run "$driver" click TFormConfirm 1104
wait_runs 2
echo "question_tray: both questions shown and answered while the window was in the tray"
