#!/usr/bin/env bash
# The record of runs: a task whose program is missing and one that runs are started once each
# with "Starten"; the row's tooltip (chosen with the keyboard) and the "Verlauf" window show
# both with their outcome; while "Fehler melden" is off (as it is at first) the failing run
# shows no balloon, once it is switched on it does; "Leeren" asks first and empties the record.
# Usage: history.sh PREFIX ORVALIS_EXE DRIVER_EXE SCREENSHOT_DIR RECORD_ARGS_EXE
set -u
prefix="$1"; exe="$2"; driver="$3"; shots="$4"; recorder="$5"
. "$(dirname "$0")/lib.sh"
fail() { echo "history: $*"; exit 1; }

record="$(mktemp -d)/record.txt"
export ORV_RECORD_FILE="$(winpath "$record")"
recorder_win="$(winpath "$recorder")"
# One run recorded earlier under the name spelt "FEHLT" (the registry's names ignore letter
# case, so it is Fehlt's): Starten, Ausgeführt, on 1 January 2020 at 12:00.
seeded=$(python3 -c "import struct; t=b'FEHLT'
print(','.join('%02x' % b for b in b'ORH1' + struct.pack('<dBBHH', 43831.5, 5, 0, len(t), 0) + t))")
reset_registry
import_registry <<REG
REGEDIT4

[HKEY_CURRENT_USER\Software\Velmora\Orvalis]
"History"=hex:$seeded

[HKEY_CURRENT_USER\Software\Velmora\Orvalis\Jobs\Fehlt]
"TaskType"=dword:00000000
"Program"="C:\\\\nirgends\\\\fehlt.exe"
"ProgramShow"="SW_SHOW"
"Param"=dword:00000000
"TaskAuto"=dword:00000000
"IntEnabled"=dword:00000001
"Intervall"=dword:00000258
"TimeEnabled"=dword:00000000
"Confirm"=dword:00000000

[HKEY_CURRENT_USER\Software\Velmora\Orvalis\Jobs\Laeuft]
"TaskType"=dword:00000000
"Program"="${recorder_win//\\/\\\\}"
"ProgramShow"="SW_SHOW"
"Param"=dword:00000001
"ParamString"="aus dem Verlauf"
"TaskAuto"=dword:00000000
"IntEnabled"=dword:00000000
"TimeEnabled"=dword:00000001
"Time"="18:00"
"Confirm"=dword:00000000
REG

start_orvalis
run "$driver" wait-window 30000 || exit 1
run "$driver" wait-rows 2 10000 || exit 1
# "Fehler melden" is off: the failing task runs ("Starten" returns once it has run and its run
# is recorded) and no balloon follows.
run "$driver" select 0 || exit 1
run "$driver" click-main 1005 || exit 1
if balloon=$(run "$driver" wait-tooltip "Task 'Fehlt'" 4000 2>/dev/null); then
  fail "a balloon while Fehler melden is off: $(printf '%s' "$balloon" | tr -d '\r')"
fi
# "Fehler melden" from the "Optionen" menu switches it on and stores it.
run "$driver" command 3023 || exit 1
run reg query 'HKCU\Software\Velmora\Orvalis' /v ReportFailures | tr -d '\r' | grep -q '0x1' ||
  fail "Fehler melden was not switched on"
# Both rows selected, "Starten": each task runs once more.
run "$driver" select 0 1 || exit 1
run "$driver" click-main 1005 || exit 1
for _ in $(seq 1 50); do [ -s "$record" ] && break; sleep 0.2; done
grep -q "aus dem Verlauf" "$record" || fail "the task that works did not run"

# The failure notice. Wine's notification area shows the balloon as a small tooltip window of
# its own process (on Windows it is the shell's balloon or toast); its text names the task and
# the reason either way.
balloon=$(run "$driver" wait-tooltip "Task 'Fehlt'" 10000 | tr -d '\r') || fail "no balloon for the failed run"
echo "history: balloon: $balloon"
case "$balloon" in *"Programm nicht gefunden"*) ;; *) fail "the balloon does not give the reason" ;; esac
screenshot history-balloon

# The mark before a failed task's name is a picture; screen readers get it in the row's name.
# Wine's accessibility layer gives no names of list rows at all (Windows does): there the
# check is left out and says so.
if name=$(run "$driver" acc-name 1 2>/dev/null); then
  name=$(printf '%s' "$name" | tr -d '\r')
  [ "$name" = "Laeuft" ] || fail "Laeuft's row is named \"$name\""
  name=$(run "$driver" acc-name 0 | tr -d '\r') || fail "no accessible name for Fehlt's row"
  [ "$name" = "Fehlt (letzter Lauf fehlgeschlagen)" ] || fail "Fehlt's row is named \"$name\""
else
  echo "history: no accessible names of list rows here (Wine); the row's name is not checked"
fi

# The tooltip of a row chosen with the keyboard: Home selects the first row, "Fehlt".
run "$driver" key 1001 36 || exit 1
tip=$(run "$driver" wait-tooltip "Zuletzt:" 10000 | tr -d '\r') || fail "no tooltip for the row"
echo "history: tooltip: $tip"
# The driver prints characters beyond ASCII as \uXXXX.
has() { printf '%s\n' "$1" | grep -qF -- "$2"; }
has "$tip" 'Fehler: Programm nicht gefunden: C:\nirgends\fehlt.exe' ||
  fail "the tooltip of Fehlt does not show the failed run"
has "$tip" ' \u00B7 N\u00E4chster Start: ' || fail "the tooltip of Fehlt has no next start"
screenshot history-tooltip-failed
run "$driver" key 1001 40 || exit 1  # Down: "Laeuft"
tip=$(run "$driver" wait-tooltip "Ausgef" 10000 | tr -d '\r') || fail "no tooltip for Laeuft"
echo "history: tooltip: $tip"
has "$tip" ' \u2013 Ausgef\u00FChrt \u00B7 N\u00E4chster Start: ' ||
  fail "the tooltip of Laeuft does not show its run"
has "$tip" ' 18:00' || fail "the tooltip of Laeuft does not show the next start at 18:00"
screenshot history-tooltip-done

# The record is kept under the settings key.
run reg query 'HKCU\Software\Velmora\Orvalis' /v History >/dev/null 2>&1 || fail "no History value"

# A click on the balloon opens the history; "Verlauf" from the "Programm" menu shows it too.
run "$driver" tray balloon-click || exit 1
run "$driver" wait-class TFormHistory 10000 || fail "a click on the balloon did not open the history"
run "$driver" command 3013 || exit 1
run "$driver" wait-class TFormHistory 10000 || fail "the history window did not open"
rows=$(run "$driver" history-rows | tr -d '\r')
echo "$rows"
[ "$(printf '%s\n' "$rows" | grep -c .)" = 4 ] || fail "the history does not hold four runs"
has "$(printf '%s\n' "$rows" | sed -n 1p)" '| Laeuft | Starten | Ausgef\u00FChrt' ||
  fail "the newest row is not the run of Laeuft"
has "$(printf '%s\n' "$rows" | sed -n 2p)" '| Fehlt | Starten | Fehler: Programm nicht gefunden' ||
  fail "the older row is not the failed run of Fehlt"
has "$(printf '%s\n' "$rows" | sed -n 3p)" '| Fehlt | Starten | Fehler: Programm nicht gefunden' ||
  fail "the third row is not the first failed run of Fehlt"
has "$(printf '%s\n' "$rows" | sed -n 4p)" '| FEHLT | Starten | Ausgef\u00FChrt' ||
  fail "the oldest row is not the run recorded before"
screenshot history-window

# The filter by task ignores letter case as the names do: Fehlt's entry holds the run of
# "FEHLT" too. Tab from the list past "Leeren" and "Schließen" reaches the filter; Down picks
# its first task, Up "(alle Tasks)" again.
run "$driver" keys tab tab tab || fail "cannot press Tab"
focus=$(run "$driver" focus | tr -d '\r')
[ "${focus%% *}" = 1403 ] || fail "the focus is on $focus, not on the filter"
run "$driver" keys down || fail "cannot press Down"
rows=$(run "$driver" history-rows | tr -d '\r')
echo "$rows"
[ "$(printf '%s\n' "$rows" | grep -c .)" = 3 ] || fail "the filter by Fehlt does not show its three runs"
has "$(printf '%s\n' "$rows" | sed -n 3p)" '| FEHLT | Starten' ||
  fail "the filter by Fehlt leaves out the run recorded as FEHLT"
run "$driver" keys up || fail "cannot press Up"
[ "$(run "$driver" history-rows | grep -c .)" = 4 ] || fail "(alle Tasks) does not show every run"

# While the window is open, new runs come into it.
run "$driver" select 0 1 || exit 1
run "$driver" click-main 1005 || exit 1
for _ in $(seq 1 50); do
  [ "$(run "$driver" history-rows | grep -c .)" = 6 ] && break; sleep 0.1
done
[ "$(run "$driver" history-rows | grep -c .)" = 6 ] || fail "the open window did not show the new runs"

# "Leeren" asks first; "Nein" keeps the runs, "Ja" empties the list.
run "$driver" click TFormHistory 1405 || exit 1
question=$(run "$driver" dialog-text 10000 7 | tr -d '\r') || fail "no question before Leeren"
echo "history: asked: $question"
[ "$(run "$driver" history-rows | grep -c .)" = 6 ] || fail "Nein emptied the history"
run "$driver" click TFormHistory 1405 || exit 1
run "$driver" dialog-text 10000 6 >/dev/null || fail "no question before Leeren"
[ "$(run "$driver" history-rows | grep -c .)" = 0 ] || fail "Ja did not empty the history"
# Escape closes the window, as the keyboard reaches it (the focus is on "Schließen" now).
xdotool key Escape
for _ in $(seq 1 50); do
  [ "$(run "$driver" window-count TFormHistory | tr -d '\r')" = 0 ] && break; sleep 0.1
done
[ "$(run "$driver" window-count TFormHistory | tr -d '\r')" = 0 ] || fail "Escape did not close the history"

# "Fehler melden" once more switches the stored option off again.
run "$driver" command 3023 || exit 1
run reg query 'HKCU\Software\Velmora\Orvalis' /v ReportFailures | tr -d '\r' | grep -q '0x0' ||
  fail "Fehler melden was not switched off"

# The editor's step 2 shows the next five starts of the rule being edited: a new task runs
# every 10 minutes from now on; at 18:00 on the 31st only, a month without it is named.
run "$driver" click-main 1002 || exit 1
run "$driver" press 2003 || exit 1
preview=$(run "$driver" text 2502 | tr -d '\r')
echo "history: preview: $preview"
has "$preview" 'N\u00E4chste Starts:' || fail "no preview in step 2"
[ "$(printf '%s' "$preview" | grep -o '\\u000A' | grep -c .)" = 5 ] || fail "not five starts"
run "$driver" press 2200 || exit 1  # "Task alle" off
run "$driver" press 2202 || exit 1  # "Task um" on: 18:00
run "$driver" press 2017 || exit 1  # "Monatstage"
run "$driver" press 2250 || exit 1  # the 31st
preview=$(run "$driver" text 2502 | tr -d '\r')
echo "history: preview: $preview"
has "$preview" ' 31.' || fail "the preview does not follow the month days"
has "$preview" '. 18:00' || fail "the preview does not show the time"
has "$preview" 'keinen 31.' || fail "the preview does not say what happens without a 31st"
screenshot history-editor-preview
run "$driver" press 2001 >/dev/null 2>&1  # "Abbrechen"
echo "history: ok"
