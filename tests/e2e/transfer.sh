#!/usr/bin/env bash
# "Tasks exportieren…" and "Tasks importieren…": two tasks are exported through the menu and the
# save dialog, deleted, and imported from the file again: the list and every stored value are
# back as they were. Importing them once more asks per name ("Beide behalten" gives a free name,
# "Überspringen" leaves the task alone); a file with a key outside the jobs key is refused with
# its line and changes nothing.
# Usage: transfer.sh PREFIX ORVALIS_EXE DRIVER_EXE SCREENSHOT_DIR
set -u
prefix="$1"; exe="$2"; driver="$3"; shots="$4"
. "$(dirname "$0")/lib.sh"
fail() { echo "transfer: $*"; exit 1; }

jobs='HKCU\Software\Velmora\Orvalis\Jobs'
work="$(mktemp -d)"
file="$work/Tasks.reg"
dialog=TFormTransfer
button1=1304 button2=1305 button3=1306 text=1302

reset_registry
import_registry <<'REG'
REGEDIT4

[HKEY_CURRENT_USER\Software\Velmora\Orvalis\Jobs\Sicherung]
"TaskType"=dword:00000000
"Program"="C:\\Tools\\sync \"alles\".exe"
"Param"=dword:00000001
"ParamString"="/quiet"
"ProgramShow"="SW_HIDE"
"TaskAuto"=dword:00000000
"Intervall"=dword:0000003c
"IntEnabled"=dword:00000001
"Time"="18:00"
"TimeEnabled"=dword:00000000
"OnWindowsEnabled"=dword:00000000
"OnWindows"=dword:00000000
"Name"="Sicherung"
"Confirm"=dword:00000001
"NextExecution"=hex:00,00,00,00,00,00,00,00
"Recover"=dword:00000002

[HKEY_CURRENT_USER\Software\Velmora\Orvalis\Jobs\Sicherung\Files]
"C:\\Daten\\brief.txt"=hex:00,00,00,00,00,00,f0,bf

[HKEY_CURRENT_USER\Software\Velmora\Orvalis\Jobs\Leerlauf]
"TaskType"=dword:00000002
"System"=dword:00000001
"TaskAuto"=dword:00000001
"OnIdle"=dword:00000001
"IdleTime"=dword:0000000f
"Name"="Leerlauf"
REG

start_orvalis
run "$driver" wait-window 30000 || exit 1
run "$driver" wait-rows 2 10000 || fail "the two tasks are not listed"
rows_before=$(run "$driver" rows | tr -d '\r')
values_before=$(run reg query "$jobs" /s | tr -d '\r')
echo "$rows_before"

# Export: both are ticked; "Speichern…", the save dialog, the report.
run "$driver" command 3014 || exit 1
run "$driver" wait-class "$dialog" 10000 || fail "no export window"
screenshot transfer_export
[ "$(run "$driver" rows "$dialog" | tr -d '\r')" = "$rows_before" ] || fail "the export window lists other tasks"
run "$driver" click "$dialog" "$button1" || exit 1
run "$driver" file-dialog "$(winpath "$file")" 20000 || fail "no save dialog"
run "$driver" wait-class "$dialog" 10000 || fail "no export report"
report=$(run "$driver" control-text "$dialog" "$text" | tr -d '\r')
echo "transfer: $report"
case "$report" in "2 Tasks wurden in \"Tasks.reg\" geschrieben.") ;; *) fail "export report: $report" ;; esac
run "$driver" click "$dialog" "$button1" || exit 1
[ "$(head -c 2 "$file" | od -An -tx1 | tr -d ' ')" = fffe ] || fail "the file is not UTF-16LE with its mark"
iconv -f UTF-16 -t UTF-8 "$file" | head -1 | tr -d '\r' | grep -qx 'Windows Registry Editor Version 5.00' ||
  fail "the file does not start with the regedit header"

# Delete both, then import the file.
run "$driver" select 0 1 || exit 1
run "$driver" click-main 1004
run "$driver" dialog-text 10000 6 >/dev/null || fail "no delete question"
run "$driver" wait-rows 0 10000 || fail "the tasks were not deleted"
run reg query "$jobs\\Sicherung" >/dev/null 2>&1 && fail "Sicherung's key is still there"

run "$driver" command 3015 || exit 1
run "$driver" file-dialog "$(winpath "$file")" 20000 || fail "no open dialog"
run "$driver" wait-class "$dialog" 10000 || fail "no import window"
screenshot transfer_import
found=$(run "$driver" rows "$dialog" | tr -d '\r')
echo "$found"
# The tasks in file order, with the next-start texts the list showed.
[ "$(echo "$found" | cut -d'|' -f1,2 | sort)" = "$(echo "$rows_before" | cut -d'|' -f1,2 | sort)" ] ||
  fail "the import window does not show the tasks with their next-start texts"
run "$driver" click "$dialog" "$button1" || exit 1
run "$driver" wait-class "$dialog" 10000 || fail "no import report"
report=$(run "$driver" control-text "$dialog" "$text" | tr -d '\r')
echo "transfer: $report"
[ "$report" = "2 Tasks importiert, 0 abgelehnt, 0 \u00FCbersprungen." ] || fail "import report: $report"
run "$driver" click "$dialog" "$button1" || exit 1
run "$driver" wait-rows 2 10000 || fail "the imported tasks are not listed"
[ "$(run "$driver" rows | tr -d '\r')" = "$rows_before" ] || fail "the list differs after the import"
values_after=$(run reg query "$jobs" /s | tr -d '\r')
if [ "$values_after" != "$values_before" ]; then
  diff <(echo "$values_before") <(echo "$values_after")
  fail "the stored values differ after the import"
fi

# Again: both names are taken. "Beide behalten" for the first, "Überspringen" for the second.
run "$driver" command 3015 || exit 1
run "$driver" file-dialog "$(winpath "$file")" 20000 || fail "no open dialog"
run "$driver" wait-class "$dialog" 10000 || fail "no import window"
run "$driver" click "$dialog" "$button1" || exit 1
run "$driver" wait-class "$dialog" 10000 || fail "no clash question"
question=$(run "$driver" control-text "$dialog" "$text" | tr -d '\r')
echo "transfer: $question"
screenshot transfer_clash
first=$(echo "$question" | sed -n 's/^Es gibt bereits einen Task "\([^"]*\)".*/\1/p')
[ -n "$first" ] || fail "the question names no task"
run "$driver" click "$dialog" "$button2" || exit 1
run "$driver" wait-class "$dialog" 10000 || fail "no second clash question"
run "$driver" click "$dialog" "$button3" || exit 1
run "$driver" wait-class "$dialog" 10000 || fail "no import report"
report=$(run "$driver" control-text "$dialog" "$text" | tr -d '\r')
[ "$report" = "1 Task importiert, 0 abgelehnt, 1 \u00FCbersprungen." ] || fail "clash report: $report"
run "$driver" click "$dialog" "$button1" || exit 1
run "$driver" wait-rows 3 10000 || fail "the kept task is not listed"
run reg query "$jobs\\$first 2" /v Name | tr -d '\r' | grep -q "$first 2" || fail "no task \"$first 2\""

# A file with a key outside the jobs key: refused with its line, nothing changes.
values_before=$(run reg query "$jobs" /s | tr -d '\r')
printf 'Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\Velmora\\Orvalis\\Jobs\\Neu]\r\n"TaskType"=dword:00000000\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Run]\r\n"x"="y"\r\n' |
  iconv -f UTF-8 -t UTF-16LE | { printf '\xff\xfe'; cat; } >"$work/Fremd.reg"
run "$driver" command 3015 || exit 1
run "$driver" file-dialog "$(winpath "$work/Fremd.reg")" 20000 || fail "no open dialog"
run "$driver" wait-class "$dialog" 10000 || fail "no refusal"
report=$(run "$driver" control-text "$dialog" "$text" | tr -d '\r')
echo "transfer: $report"
screenshot transfer_refused
case "$report" in *"Zeile 6:"*) ;; *) fail "the refusal names no line: $report" ;; esac
run "$driver" click "$dialog" "$button1" || exit 1
[ "$(run reg query "$jobs" /s | tr -d '\r')" = "$values_before" ] || fail "the refused file changed the registry"
run reg query "$jobs\\Neu" >/dev/null 2>&1 && fail "a task of the refused file was written"

echo "transfer: ok"
