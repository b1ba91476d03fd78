#!/usr/bin/env bash
# The keyboard alone: a task made, changed, run and removed with key presses sent to the
# focused control and nothing else (no clicks, no messages to controls; only the notification
# area's icon gets what the shell sends for keys on it), and the stored task checked in the
# registry. On the way: the tab order of the main window and of the editor's steps, Enter for
# the default button, Escape for "Abbrechen" with the focus back on the list, the access keys,
# the arrow keys in the tab headers and in the month days, the up-down arrows of a number field,
# the menu bar opened with Alt, Alt+P and F10 and walked with Left and Right, F1, the tray icon's
# Enter and its menu from the keyboard, and the focus kept over the notification area, a question
# and Alt+Tab.
# Usage: keyboard.sh PREFIX ORVALIS_EXE DRIVER_EXE SCREENSHOT_DIR RECORDER_EXE
set -u
prefix="$1"; exe="$2"; driver="$3"; shots="$4"; recorder="$5"
. "$(dirname "$0")/lib.sh"

record="$(mktemp -d)/record.txt"
export ORV_RECORD_FILE="$(winpath "$record")"
recorder_win="$(winpath "$recorder")"

fail() { echo "keyboard: $*"; exit 1; }
keys() { run "$driver" keys "$@" || fail "cannot press $*"; }
# The control that has the focus: its ID.
expect_focus() {
  local got
  got=$(run "$driver" focus | tr -d '\r')
  [ "${got%% *}" = "$1" ] || fail "the focus is on \"$got\", expected control $1${2:+ ($2)}"
}
expect_text() {
  local got
  got=$(run "$driver" text "$1" | tr -d '\r')
  [ "$got" = "$2" ] || fail "control $1 shows \"$got\", expected \"$2\""
}
expect_shown() {  # ID 0|3
  run "$driver" shown "$1"; local got=$?
  [ "$got" = "$2" ] || fail "control $1: shown state $got, expected $2"
}
expect_checked() {  # ID 0|3
  local out got
  out=$(run "$driver" checked "$1" 2>&1); got=$?
  [ "$got" = "$2" ] || fail "control $1: checked state $got, expected $2 ($out)"
}
# The open menu's left edge relative to the window, once it is there (a menu replaced by its
# neighbour closes first).
expect_menu_at() {  # X_OFFSET NAME
  local menu mx
  for _ in $(seq 1 25); do
    menu=$(run "$driver" wait-menu 5000 | tr -d '\r') || fail "no menu is open (\"$2\")"
    mx=${menu%% *}
    [ "$mx" = "$((wx + $1))" ] && return 0
    sleep 0.2
  done
  fail "the menu at $mx is not \"$2\""
}

reset_registry
start_orvalis
run "$driver" wait-window 30000 || exit 1
run "$driver" sync || fail "the program does not answer"
read -r wx wy _ _ <<<"$(run "$driver" window-rect | tr -d '\r')"

# The main window: the list has the focus, Tab goes on to the buttons in their order.
expect_focus 1001 "the task list"
keys tab;  expect_focus 1002 "Hinzufügen"
keys tab;  expect_focus 1003 "Bearbeiten"
# Into the notification area and back: the focus is where it was. Wine's notification area
# takes no keyboard focus (Windows' does with Win+B); the driver sends what Windows' shell sends
# to the program for Enter (NIN_KEYSELECT) and Shift+F10 (WM_CONTEXTMENU) on the icon.
shown() {  # 0|3: the window is shown (0) or in the notification area (3), once it is
  for _ in $(seq 1 25); do
    run "$driver" is-visible; [ $? = "$1" ] && return 0
    sleep 0.2
  done
  return 1
}
run "$driver" command 3011 || fail "cannot minimise"
shown 3 || fail "the window did not go into the notification area"
run "$driver" tray keyselect || fail "cannot send Enter to the tray icon"
shown 0 || fail "Enter on the tray icon did not bring the window back"
run "$driver" activate || fail "the window did not come back"
expect_focus 1003 "Bearbeiten after the notification area"
# The tray menu from the keyboard: at the icon, its first item ("Anzeigen") selected.
run "$driver" tray contextmenu 600 400 || fail "cannot send Shift+F10 to the tray icon"
menu=$(run "$driver" wait-menu 5000 | tr -d '\r') || fail "Shift+F10 on the tray icon opened no menu"
[ "${menu% * *}" = "600 400" ] || fail "the tray menu opened at $menu, not at the icon"
screenshot keyboard-menu-tray
keys escape
run "$driver" menu-closed 5000 >/dev/null || fail "Escape did not close the tray menu"
shown 0 || fail "Escape in the tray menu hid the window"
run "$driver" tray contextmenu 600 400
run "$driver" wait-menu 5000 >/dev/null || fail "the tray menu did not open again"
keys text:m  # "&Minimieren"
shown 3 || fail "M in the tray menu did not minimise"
run "$driver" tray contextmenu 600 400
run "$driver" wait-menu 5000 >/dev/null || fail "the tray menu did not open while minimised"
keys enter  # the selected first item, "&Anzeigen"
shown 0 || fail "Enter in the tray menu did not show the window"
run "$driver" activate || fail "the window did not come back from the tray menu"
expect_focus 1003 "Bearbeiten after the tray menu"
keys tab tab; expect_focus 1005 "Starten"
keys tab;  expect_focus 1001 "the task list again"

# The menu bar: Alt opens "Programm", Right "Optionen", Left "Programm" again, Left round to
# "Hilfe", Right round to "Programm" (Right on "Anzeige" in "Optionen" opens its submenu);
# Escape closes it.
keys alt;   expect_menu_at 197 Programm
screenshot keyboard-menu-programm
keys right; expect_menu_at 274 Optionen
keys left;  expect_menu_at 197 Programm
keys left;  expect_menu_at 346 Hilfe
keys right; expect_menu_at 197 Programm
keys escape
run "$driver" menu-closed 5000 >/dev/null || fail "Escape did not close the menu"
expect_focus 1001 "the task list after the menu"
# From the task list, Alt+P and F10 open "Programm" too (the list does not take the letter).
keys alt+p; expect_menu_at 197 "Programm by Alt+P"
keys escape
run "$driver" menu-closed 5000 >/dev/null || fail "Escape did not close the menu of Alt+P"
keys f10;   expect_menu_at 197 "Programm by F10"
keys escape
run "$driver" menu-closed 5000 >/dev/null || fail "Escape did not close the menu of F10"
expect_focus 1001 "the task list after Alt+P and F10"
# F1 as a key: the help file in the help viewer (without one beside the program, the message
# that says so).
keys f1
if [ -f "$(dirname "$exe")/help.chm" ]; then
  help_shown() { xdotool search --onlyvisible --name '^Orvalis-Hilfe$' >/dev/null 2>&1; }
  for _ in $(seq 1 50); do help_shown && break; sleep 0.2; done
  help_shown || fail "F1 did not open the help"
  run taskkill /im hh.exe >/dev/null 2>&1
  for _ in $(seq 1 50); do help_shown || break; sleep 0.2; done
else
  text=$(run "$driver" dialog-text 5000 | tr -d '\r') || fail "F1 showed no help"
  case "$text" in "Die Hilfedatei wurde nicht gefunden:"*) ;; *) fail "F1: $text" ;; esac
fi
run "$driver" activate || fail "the window did not come back after the help"
expect_focus 1001 "the task list after F1"

# "Hinzufügen" with its access key: the editor opens with the focus on its first control.
keys alt+z
expect_shown 2003 0
expect_text 2500 "Schritt 1 von 4"
expect_focus 2010 "the tab header Programm"
# Escape is "Abbrechen": the list is back, with the focus.
keys escape
expect_shown 1001 0
expect_shown 2003 3
expect_focus 1001 "the task list after Abbrechen"

# Again, from "Hinzufügen" with Tab and Enter. Step 1: the file, a parameter.
keys tab enter
expect_focus 2010 "the tab header Programm"
keys tab; expect_focus 2100 "the program field"
keys "text:$recorder_win"
keys alt+m; expect_checked 2102 0   # "Mit Para&meter starten:"
keys tab; expect_focus 2103 "the parameter field"
keys "text:per Tastatur"
screenshot keyboard-step1
# The fields of the step come before the wizard buttons: Zurück is hidden on step 1, so
# after the last field Tab reaches "Weiter", then "Abbrechen".
keys tab; expect_focus 2104 "Anzeige-Modus"
keys tab; expect_focus 2003 "Weiter"
keys tab; expect_focus 2001 "Abbrechen"
keys enter  # Enter on a focused button presses that one
expect_shown 2003 3
expect_focus 1001 "the task list after Abbrechen with Enter"
[ "$(run "$driver" row-count | tr -d '\r')" = 0 ] || fail "Abbrechen saved a task"

# Once more, and through all four steps.
keys alt+z
keys tab "text:$recorder_win" alt+m tab "text:per Tastatur"
keys enter  # Enter anywhere else: "Weiter"
expect_text 2500 "Schritt 2 von 4"
expect_focus 2013 "the tab header Uhrzeit"
# The tab headers are one row: the arrows move along it and the tab follows.
keys right; expect_focus 2014 "Leerlauf"; expect_shown 2261 0
keys left;  expect_focus 2013 "Uhrzeit"; expect_shown 2201 0
keys alt+a; expect_checked 2200 3   # "Task &alle", ticked by default
keys tab; expect_focus 2201 "the minutes"
keys up up; expect_text 2201 12     # the up-down arrows, from 10
# The month days: one tab stop, the arrows within.
keys alt+n; expect_shown 2220 0     # "Mo&natstage"
keys tab; expect_focus 2220 "the 1st"
keys space right right space
expect_checked 2220 0; expect_checked 2221 3; expect_checked 2222 0
# After the step's last field: Zurück, then Weiter; Enter presses the focused one.
keys tab; expect_focus 2002 "Zurück after the month days"
keys tab; expect_focus 2003 "Weiter"
screenshot keyboard-step2
keys enter
expect_text 2500 "Schritt 3 von 4"
keys alt+e; expect_checked 2302 0   # "Nur &einmal pro Windows-Sitzung durchführen"
keys enter
expect_text 2500 "Schritt 4 von 4"
expect_text 2003 "&Fertig"
keys alt+n; expect_focus 2400 "the name"   # the label "Task-&Name" leads to its field
keys "text:Tastatur 1"
screenshot keyboard-step4
keys enter
expect_shown 1001 0
expect_focus 1001 "the task list after the save"
run "$driver" wait-rows 1 5000 || fail "no list row after the save"

key='HKCU\Software\Velmora\Orvalis\Jobs\Tastatur 1'
values=$(run reg query "$key" | tr -d '\r')
check_value() {  # NAME DATA
  echo "$values" | grep -Eq "^ +$1 +REG_[A-Z_]+ +$2\$" || { echo "$values"; fail "value $1 is not $2"; }
}
check_value Program "${recorder_win//\\/\\\\}"
check_value Param '0x1'
check_value ParamString 'per Tastatur'
check_value IntEnabled '0x0'
check_value Intervall '0xc'
check_value DayRestriction '0x1'
check_value MonthDays '1010000000000000000000000000000'
check_value OncePerSession '0x1'

# "Bearbeiten" with Enter on the selected row: step 4, a new name.
keys enter
expect_shown 2003 0
expect_text 2100 "$recorder_win"
keys enter enter enter
expect_text 2500 "Schritt 4 von 4"
keys alt+n "text:Tastatur 2" enter
expect_shown 1001 0
run reg query 'HKCU\Software\Velmora\Orvalis\Jobs\Tastatur 2' >/dev/null 2>&1 \
  || fail "the renamed task is not stored"
run reg query "$key" >/dev/null 2>&1 && fail "the old name is still stored"

# "Starten" with its access key runs the selected task.
expect_focus 1001 "the task list"
keys alt+s
for _ in $(seq 1 50); do [ -s "$record" ] && break; sleep 0.2; done
grep -q "per Tastatur" "$record" || fail "the task did not run"
# The program that ran took the foreground; back with Alt+Tab, the focus is where it was.
run "$driver" activate || fail "cannot bring the window back"
expect_focus 1005 "Starten, pressed by its access key, after Alt+Tab"
keys tab; expect_focus 1001 "the task list after the last button"

# Delete, and the question answered with Enter ("Ja").
keys delete
keys enter
run "$driver" wait-rows 0 5000 || fail "the task was not removed"
run reg query 'HKCU\Software\Velmora\Orvalis\Jobs\Tastatur 2' >/dev/null 2>&1 \
  && fail "the removed task is still stored"
expect_focus 1001 "the task list after the question"
screenshot keyboard-removed
echo "keyboard: ok"
