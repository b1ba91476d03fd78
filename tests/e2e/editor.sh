#!/usr/bin/env bash
# The task editor: a program task made in the four steps and saved into the registry and the
# list; the time check on "Weiter", the name checks on "Fertig", the name field's filter on
# pasting, "Abbrechen", opening a stored task with "Bearbeiten" (also one that cannot be read
# whole) and keeping a stored name that could not be typed.
# Usage: editor.sh PREFIX ORVALIS_EXE DRIVER_EXE SCREENSHOT_DIR
set -u
prefix="$1"; exe="$2"; driver="$3"; shots="$4"
. "$(dirname "$0")/lib.sh"

fail() { echo "editor: $*"; exit 1; }
# Waits up to 5 s for a control's text.
expect_text() {
  local got=""
  for _ in $(seq 1 25); do
    got=$(run "$driver" text "$1" | tr -d '\r')
    [ "$got" = "$2" ] && return 0
    sleep 0.2
  done
  fail "control $1 shows \"$got\", expected \"$2\""
}
expect_shown() {  # ID 0|3
  local got=""
  for _ in $(seq 1 25); do
    run "$driver" shown "$1"; got=$?
    [ "$got" = "$2" ] && return 0
    sleep 0.2
  done
  fail "control $1: shown state $got, expected $2"
}
expect_dialog() {
  local text
  text=$(run "$driver" dialog-text 10000 | tr -d '\r') || fail "no message box for \"$1\""
  [ "$text" = "$1" ] || fail "message \"$text\", expected \"$1\""
}
# The driver returns once the program has handled the click.
press() { run "$driver" press "$1" || fail "cannot press $1"; }

reset_registry
start_orvalis
run "$driver" wait-window 30000 || exit 1
run "$driver" sync || fail "the program does not answer"

# "Hinzufügen": step 1 with "Weiter" and no "Zurück"; the program condition starts as "inaktiv".
run "$driver" click-main 1002
expect_shown 2003 0
expect_shown 1001 3   # the task list is hidden
expect_text 2003 "&Weiter"
expect_shown 2002 3
expect_text 2500 "Schritt 1 von 4"
expect_text 2304 "inaktiv"
expect_text 2105 "Zeigt das Programmfenster an."
screenshot editor-step1-programm
press 2011; expect_shown 2110 0; screenshot editor-step1-internet
press 2012; expect_shown 2120 0; screenshot editor-step1-system
press 2010; expect_shown 2100 0
run "$driver" set-text 2100 'C:\windows\notepad.exe'
press 2102
run "$driver" set-text 2103 '/p test'

press 2003
expect_text 2500 "Schritt 2 von 4"
expect_shown 2002 0
screenshot editor-step2-uhrzeit
press 2017; expect_shown 2220 0; screenshot editor-step2-monatstage
press 2016
press 2014; expect_shown 2261 0; screenshot editor-step2-leerlauf
press 2015; expect_shown 2273 0; screenshot editor-step2-aenderung
press 2013
run "$driver" set-text 2201 '45'
run "$driver" set-text 2203 '25:00'

press 2003
expect_text 2500 "Schritt 3 von 4"
screenshot editor-step3
press 2300
# A time that does not parse keeps step 3, whatever the trigger.
press 2003
expect_dialog "Bitte geben Sie eine Uhrzeit im 24-Stunden-Format (hh:mm) ein!"
expect_text 2500 "Schritt 3 von 4"
run "$driver" set-text 2203 '7:30'
press 2003
expect_text 2500 "Schritt 4 von 4"
expect_text 2003 "&Fertig"
screenshot editor-step4

# "Fertig" without a name.
press 2003
expect_dialog "Bitte weisen Sie dem Task eine Bezeichnung zu!"
expect_text 2500 "Schritt 4 von 4"
# Typed and pasted text goes through the name filter: no umlaut, no backslash.
run "$driver" type 2400 "$(printf 'B\xc3\xbcro 1')" || fail "typing failed"
expect_text 2400 "Bro 1"
run "$driver" set-text 2400 ''
run "$driver" paste 2400 "$(printf 'No\xc3\xa4ti\\zen 1')" || fail "paste failed"
expect_text 2400 "Notizen 1"
press 2003
expect_shown 1001 0
run "$driver" wait-rows 1 5000 || fail "no list row after the save"
rows=$(run "$driver" rows | tr -d '\r')
echo "editor: rows: $rows"
case "$rows" in "Notizen 1 | "*) ;; *) fail "the saved task is not listed" ;; esac
[ "$(run "$driver" selected-rows | tr -d '\r')" = "0" ] || fail "the saved row is not selected"
screenshot editor-saved

key='HKCU\Software\Velmora\Orvalis\Jobs\Notizen 1'
values=$(run reg query "$key" | tr -d '\r')
echo "$values"
check_value() {  # NAME DATA
  echo "$values" | grep -Eq "^ +$1 +REG_[A-Z_]+ +$2\$" || fail "value $1 is not $2"
}
check_value Program 'C:\\windows\\notepad.exe'
check_value Param '0x1'
check_value ParamString '/p test'
check_value Intervall '0x2d'
check_value Time '07:30'  # typed as 7:30
check_value OnWindowsEnabled '0x1'
check_value ProgramAction '0x1'
run reg query "$key\\Files" >/dev/null 2>&1 || fail "no Files subkey"
count=$(echo "$values" | grep -Ec '^ +[A-Za-z]+ +REG_(SZ|DWORD|BINARY) ')
[ "$count" = 43 ] || fail "the task key holds $count values, not 43"

# A taken name while adding; "Abbrechen" stores nothing. The save has reset the editor: the
# condition list now stands on "aktiv".
run "$driver" click-main 1002
expect_shown 2003 0
expect_text 2304 "aktiv"
press 2003; press 2003; press 2003
expect_text 2500 "Schritt 4 von 4"
run "$driver" set-text 2400 'notizen 1'
press 2003
expect_dialog "Es existiert bereits ein Task mit dieser Bezeichnung!"
press 2001
expect_shown 1001 0
expect_text 2304 "aktiv"
run "$driver" wait-rows 1 3000 || fail "the cancel changed the list"

# "Bearbeiten" loads the stored task; saving it under its own name is allowed.
run "$driver" select 0
run "$driver" click-main 1003
expect_shown 2003 0
expect_text 2100 'C:\windows\notepad.exe'
expect_text 2201 "45"
expect_text 2203 "07:30"
expect_text 2304 "inaktiv"
press 2003; press 2003; press 2003
expect_text 2400 "Notizen 1"
press 2003
expect_shown 1001 0
run "$driver" wait-rows 1 3000 || fail "the edit changed the number of rows"

# Renaming while editing: another letter case alone is a taken name; a new name replaces the
# old key and row, and the task keeps its Recover setting.
run reg add "$key" /v Recover /t REG_DWORD /d 1 /f >/dev/null 2>&1 || fail "cannot set Recover"
run "$driver" select 0
run "$driver" click-main 1003
expect_shown 2003 0
press 2003; press 2003; press 2003
run "$driver" set-text 2400 'NOTIZEN 1'
press 2003
expect_dialog "Es existiert bereits ein Task mit dieser Bezeichnung!"
run "$driver" set-text 2400 'Notizen 2'
press 2003
expect_shown 1001 0
rows=$(run "$driver" rows | tr -d '\r')
case "$rows" in "Notizen 2 | "*) ;; *) fail "the renamed task is not listed in place of the old: $rows" ;; esac
run "$driver" wait-rows 1 3000 || fail "the rename changed the number of rows"
run reg query "$key" >/dev/null 2>&1 && fail "the old key is still there"
key='HKCU\Software\Velmora\Orvalis\Jobs\Notizen 2'
run reg query "$key" /v Recover | tr -d '\r' | grep -q '0x1' || fail "Recover was not carried over"
screenshot editor-renamed

# A task whose values can no longer be read opens all the same: what fails stands on its
# default, a message names it, and "Fertig" saves a sound task over it.
run reg add "$key" /v Intervall /t REG_SZ /d zehn /f >/dev/null 2>&1 || fail "cannot damage the task"
run "$driver" select 0
run "$driver" click-main 1003
expect_dialog 'Einige Einstellungen des Tasks konnten nicht gelesen werden; der Editor zeigt an ihrer Stelle die Vorgaben:\u000AIntervall'
expect_shown 2003 0
expect_text 2201 "10"
expect_text 2100 'C:\windows\notepad.exe'
press 2003; press 2003; press 2003
press 2003
expect_shown 1001 0
run reg query "$key" /v Intervall | tr -d '\r' | grep -q 'REG_DWORD *0xa' || fail "the task was not saved sound"

# A stored name that could not be typed (an umlaut, more than 30 characters) is kept when the
# task is opened and saved without touching the name field. The list is read at start-up.
stop_orvalis
long='Sicherung B\u00FCro der Kundendaten 2026'
longkey="HKCU\\Software\\Velmora\\Orvalis\\Jobs\\$(printf 'Sicherung B\xc3\xbcro der Kundendaten 2026')"
exported="$(mktemp -d)/task.reg"
run reg export "$key" "$(winpath "$exported")" /y >/dev/null 2>&1 || fail "cannot export the task"
iconv -f UTF-16 -t UTF-8 "$exported" |
  sed -e "s/Jobs\\\\Notizen 2/Jobs\\\\$(printf 'Sicherung B\xc3\xbcro der Kundendaten 2026')/" \
      -e "s/^\"Name\"=\"Notizen 2\"/\"Name\"=\"$(printf 'Sicherung B\xc3\xbcro der Kundendaten 2026')\"/" |
  iconv -f UTF-8 -t UTF-16 | import_registry
run reg query "$longkey" >/dev/null 2>&1 || fail "cannot store the task with the long name"
# The load does not read Definition; the save writes it.
run reg delete "$longkey" /v Definition /f >/dev/null 2>&1 || fail "cannot prepare the task"
start_orvalis
run "$driver" wait-window 30000 || exit 1
run "$driver" wait-rows 2 10000 || fail "the long-named task is not listed"
run "$driver" select 1
run "$driver" click-main 1003
expect_shown 2003 0
press 2003; press 2003; press 2003
expect_text 2400 "$long"
press 2003
expect_shown 1001 0
run "$driver" wait-rows 2 3000 || fail "the save changed the number of rows"
rows=$(run "$driver" rows | tr -d '\r')
case "$rows" in *"$long | "*) ;; *) fail "the task is not listed under its stored name: $rows" ;; esac
run reg query "$longkey" /v Name | tr -d '\r' | grep -q 'Kundendaten 2026' || fail "the stored name changed"
run reg query "$longkey" /v Definition >/dev/null 2>&1 || fail "the task was not saved"
echo "editor: ok"
