#!/usr/bin/env bash
# Stored tasks are listed at start-up, sorted, with their texts; a task bound to Windows start
# really starts its program; a task that cannot be read is listed as "n/a", reported once, and
# can be deleted from the list.
# Usage: list.sh PREFIX ORVALIS_EXE DRIVER_EXE SCREENSHOT_DIR RECORD_ARGS_EXE
set -u
prefix="$1"; exe="$2"; driver="$3"; shots="$4"; recorder="$5"
. "$(dirname "$0")/lib.sh"

record="$(mktemp -d)/record.txt"
export ORV_RECORD_FILE="$(winpath "$record")"
recorder_win="$(winpath "$recorder")"
reset_registry
import_registry <<REG
REGEDIT4

[HKEY_CURRENT_USER\Software\Velmora\Orvalis\Jobs\gamma]
"TaskAuto"=dword:00000000
"TimeEnabled"=dword:00000000
"IntEnabled"=dword:00000000
"OnWindowsEnabled"=dword:00000001
"OnWindows"=dword:00000001

[HKEY_CURRENT_USER\Software\Velmora\Orvalis\Jobs\Alpha]
"TaskAuto"=dword:00000001
"OnIdle"=dword:00000001
"IdleTime"=dword:0000000f

[HKEY_CURRENT_USER\Software\Velmora\Orvalis\Jobs\Kaputt]
"TimeEnabled"=dword:00000000

[HKEY_CURRENT_USER\Software\Velmora\Orvalis\Jobs\beta]
"TaskAuto"=dword:00000002
"ChangeFiles"=dword:00000001

[HKEY_CURRENT_USER\Software\Velmora\Orvalis\Jobs\delta]
"TaskAuto"=dword:00000000
"TimeEnabled"=dword:00000000
"IntEnabled"=dword:00000000
"OnWindowsEnabled"=dword:00000001
"OnWindows"=dword:00000000
"TaskType"=dword:00000000
"Program"="${recorder_win//\\/\\\\}"
"ProgramShow"="SW_SHOW"
"Param"=dword:00000001
"ParamString"="gestartet beim Laden"
REG

start_orvalis
message=$(run "$driver" dialog-text 30000 | tr -d '\r') || { echo "list: no report of the broken task"; exit 1; }
echo "list: reported: $message"
case "$message" in *"'Kaputt'"*TaskAuto*) ;; *) echo "list: the report does not name Kaputt and TaskAuto"; exit 1 ;; esac
run "$driver" wait-window 30000 || exit 1
screenshot list

rows=$(run "$driver" rows | tr -d '\r')
expected="Alpha | 15 Minute(n) | Leerlauf
beta | Bei Datei\u00E4nderung | \u00DCberwachung
delta | Bei Systemstart | Uhrzeit
gamma | Bei Shutdown | Uhrzeit
Kaputt | n/a | "
echo "$rows"
[ "$rows" = "$expected" ] || { echo "list: rows differ, expected:"; echo "$expected"; exit 1; }

for _ in $(seq 1 50); do [ -s "$record" ] && break; sleep 0.2; done
grep -q "gestartet beim Laden" "$record" || { echo "list: the Windows-start task did not run"; exit 1; }
[ "$(grep -c . "$record")" = 1 ] || { echo "list: the Windows-start task ran more than once"; exit 1; }
# "Entfernen" with two rows selected: one question, both keys and rows gone.
run "$driver" select 0 3 || exit 1
run "$driver" click-main 1004
question=$(run "$driver" dialog-text 10000 6 | tr -d '\r') || { echo "list: no delete question"; exit 1; }
echo "list: asked: $question"
[ "$question" = "Sollen selektierte Tasks gel\u00F6scht werden?" ] || { echo "list: wrong question"; exit 1; }
run "$driver" wait-rows 3 10000 || exit 1
rows=$(run "$driver" rows | tr -d '\r')
expected="beta | Bei Datei\u00E4nderung | \u00DCberwachung
delta | Bei Systemstart | Uhrzeit
Kaputt | n/a | "
[ "$rows" = "$expected" ] || { echo "list: rows after the delete differ:"; echo "$rows"; exit 1; }
run reg query 'HKCU\Software\Velmora\Orvalis\Jobs\Alpha' >/dev/null 2>&1 && { echo "list: Alpha's key is still there"; exit 1; }
run reg query 'HKCU\Software\Velmora\Orvalis\Jobs\gamma' >/dev/null 2>&1 && { echo "list: gamma's key is still there"; exit 1; }
run reg query 'HKCU\Software\Velmora\Orvalis\Jobs\beta' >/dev/null 2>&1 || { echo "list: beta's key is gone"; exit 1; }
# The broken task is deleted from the list like any other: its key goes with its row.
run "$driver" select 2 || exit 1
run "$driver" click-main 1004
run "$driver" dialog-text 10000 6 >/dev/null || { echo "list: no delete question for Kaputt"; exit 1; }
run "$driver" wait-rows 2 10000 || { echo "list: the broken row was not removed"; exit 1; }
run reg query 'HKCU\Software\Velmora\Orvalis\Jobs\Kaputt' >/dev/null 2>&1 && { echo "list: Kaputt's key is still there"; exit 1; }
run reg query 'HKCU\Software\Velmora\Orvalis\Jobs\delta' >/dev/null 2>&1 || { echo "list: delta's key is gone"; exit 1; }
# The keyboard in the list: typing a name's first letter selects that row (type-ahead over the
# virtual list), Enter opens it in the editor (delta was stored by hand with few values: the
# editor first names those it filled with its defaults), and "Abbrechen" brings the list back.
run "$driver" select 0 || exit 1
run "$driver" type 1001 D
sel=$(run "$driver" selected-rows | tr -d '\r\n ')
[ "$sel" = 1 ] || { echo "list: typing D selected \"$sel\", not delta"; exit 1; }
run "$driver" key 1001 13
run "$driver" dialog-text 10000 >/dev/null || { echo "list: Enter in the list did not open delta"; exit 1; }
run "$driver" shown 2001 || { echo "list: Enter in the list did not open the editor"; exit 1; }
run "$driver" text 2400 | grep -q delta || { echo "list: the editor did not open delta"; exit 1; }
run "$driver" press 2001
echo "list: ok"
