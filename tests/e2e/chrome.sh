#!/usr/bin/env bash
# The window chrome, driven with the real mouse (xdotool) where a user would use it: the shaped
# window over a coloured backdrop (its cut corners show the backdrop), the title band's menu
# labels with their hover colour and popup positions, an option chosen by access keys, the tray
# icon's menu at the mouse, the about box (version, never twice, a click hides it), minimising
# through the image button into the tray and back, the icon coming back after a shell restart,
# dragging by the title and the bare skin (left button only), the missing help file's message,
# the task editor and a question inside the skin, and "Beenden" from the "Programm" menu.
# Screenshots of each go to the screenshot folder.
# Usage: chrome.sh PREFIX ORVALIS_EXE DRIVER_EXE SCREENSHOT_DIR
set -u
prefix="$1"; exe="$2"; driver="$3"; shots="$4"
. "$(dirname "$0")/lib.sh"

fail() { echo "chrome: $*"; exit 1; }
backdrop=DDE3EA
drv() { run "$driver" "$@" | tr -d '\r'; }
# The colour of one pixel of a screenshot, as #RRGGBB.
pixel() { convert "$1" -crop "1x1+$2+$3" -depth 8 txt: | tail -1 | grep -o '#[0-9A-F]\{6\}' | head -1; }
expect_pixel() {  # FILE X Y RRGGBB
  local got; got=$(pixel "$1" "$2" "$3")
  [ "$got" = "#$4" ] || fail "pixel ($2, $3) of $(basename "$1") is $got, expected #$4"
}
expect_other_pixel() {  # FILE X Y RRGGBB
  local got; got=$(pixel "$1" "$2" "$3")
  [ "$got" != "#$4" ] || fail "pixel ($2, $3) of $(basename "$1") is the backdrop's $got"
}
# Whether a colour occurs in a part of a screenshot: FILE X Y W H RRGGBB.
has_colour() { convert "$1" -crop "$4x$5+$2+$3" -depth 8 txt: | grep -q "#$6"; }
close_menus() {
  for _ in 1 2 3; do
    drv menu-closed 400 >/dev/null 2>&1 && return 0
    run "$driver" escape
  done
  drv menu-closed 2000 >/dev/null || fail "a menu stayed open"
}
# Moves the mouse over a control of the main window and clicks it.
click_control() {  # ID [BUTTON]
  local x y w h
  read -r x y w h <<<"$(drv control-rect TFormMain "$1")"
  xdotool mousemove $((x + w / 2)) $((y + h / 2)); sleep 0.4
  xdotool click "${2:-1}"
}

reset_registry
import_registry <<'REG'
REGEDIT4

[HKEY_CURRENT_USER\Software\Velmora\Orvalis\Jobs\Backup]
"TaskAuto"=dword:00000000
"IntEnabled"=dword:00000000
"TimeEnabled"=dword:00000001
"Time"="18:00"
"Confirm"=dword:00000000
"TaskType"=dword:00000000
"Program"="C:\\windows\\notepad.exe"
"ProgramShow"="SW_HIDE"
"Param"=dword:00000000
"ParamString"=""

[HKEY_CURRENT_USER\Software\Velmora\Orvalis\Jobs\Frage]
"TaskAuto"=dword:00000000
"IntEnabled"=dword:00000001
"Intervall"=dword:00000001
"TimeEnabled"=dword:00000000
"Confirm"=dword:00000001
"TaskType"=dword:00000000
"Program"="C:\\windows\\notepad.exe"
"ProgramShow"="SW_HIDE"
"Param"=dword:00000000
"ParamString"=""
REG

run "$driver" backdrop "$backdrop" 240 >/dev/null 2>&1 &
trap 'stop_orvalis; run "$driver" backdrop-off >/dev/null 2>&1' EXIT
run "$driver" wait-class OrvalisBackdrop 30000 >/dev/null || fail "no backdrop"
start_orvalis
run "$driver" wait-window 30000 || exit 1
xdotool mousemove 5 780
run "$driver" sync || fail "the program does not answer"

# The window and its shape.
read -r wx wy ww wh <<<"$(drv window-rect)"
[ "$ww $wh" = "570 427" ] || fail "window size $ww x $wh"
region=$(drv region | tr '\n' ' ')
expected="19 23 552 24 17 24 554 25 16 25 555 26 15 26 556 28 14 28 557 407 15 407 556 409 16 409 555 410 17 410 554 411 19 411 552 412 "
[ "$region" = "$expected" ] || fail "window region: $region"
screenshot chrome-main || exit 1
main="$shots/chrome-main.png"
# Outside the shape the backdrop shows through; the shape's outline and inside are ours.
expect_pixel "$main" "$wx" "$wy" "$backdrop"
expect_pixel "$main" $((wx + 18)) $((wy + 23)) "$backdrop"
expect_pixel "$main" $((wx + 14)) $((wy + 27)) "$backdrop"
expect_pixel "$main" $((wx + 13)) $((wy + 200)) "$backdrop"
expect_pixel "$main" $((wx + 557)) $((wy + 200)) "$backdrop"
expect_pixel "$main" $((wx + 555)) $((wy + 410)) "$backdrop"
expect_pixel "$main" $((wx + 300)) $((wy + 415)) "$backdrop"
expect_pixel "$main" $((wx + 569)) $((wy + 426)) "$backdrop"
expect_pixel "$main" $((wx + 14)) $((wy + 200)) 174878
expect_pixel "$main" $((wx + 19)) $((wy + 23)) 174878
expect_other_pixel "$main" $((wx + 300)) $((wy + 40)) "$backdrop"
expect_other_pixel "$main" $((wx + 300)) $((wy + 395)) "$backdrop"
convert "$main" -crop $((ww + 32))x$((wh + 32))+$((wx - 16))+$((wy - 16)) +repage \
  "$shots/orvalis-main.png"
echo "chrome: shape and corners ok"

# A question and the task editor inside the skin. The question's task is then deleted, so that
# the minute tick asks nothing while the rest runs.
run "$driver" tick
run "$driver" wait-class TFormConfirm 10000 || fail "no question"
screenshot chrome-confirm
run "$driver" click TFormConfirm 1105 || fail "cannot answer the question"
run "$driver" select 1
run "$driver" click-main 1004
drv dialog-text 5000 6 >/dev/null || fail "no delete question"
run "$driver" wait-rows 1 5000 || fail "the question's task was not deleted"
run "$driver" click-main 1002 || fail "cannot click Hinzufuegen"
run "$driver" shown 2003 || fail "no task editor"
screenshot chrome-editor
run "$driver" press 2001 || fail "cannot cancel the editor"
echo "chrome: question and editor ok"

# The menu bar: hover colour, then each menu at its place.
read -r lx ly lw lh <<<"$(drv control-rect TFormMain 1022)"
has_colour "$main" "$lx" "$ly" "$lw" "$lh" 9CC0E8 || fail "\"Programm\" is not in its normal colour"
xdotool mousemove $((lx + lw / 2)) $((ly + lh / 2)); sleep 0.6
screenshot chrome-hover-programm >/dev/null
has_colour "$shots/chrome-hover-programm.png" "$lx" "$ly" "$lw" "$lh" DCEBFA \
  || fail "\"Programm\" does not take the hover colour"
open_menu() {  # LABEL_ID NAME X_OFFSET
  click_control "$1"
  local menu; menu=$(drv wait-menu 5000) || fail "the menu \"$2\" did not open"
  read -r mx my mw mh <<<"$menu"
  [ "$mx $my" = "$((wx + $3)) $((wy + 64))" ] || fail "the menu \"$2\" opened at $mx $my"
}
open_menu 1022 Programm 197
screenshot chrome-menu-programm
close_menus
open_menu 1023 Optionen 274
xdotool mousemove $((mx + 40)) $((my + 14)); sleep 1.5  # the submenu "Anzeige" opens
screenshot chrome-menu-optionen
close_menus
open_menu 1024 Hilfe 346
screenshot chrome-menu-hilfe
close_menus
# "Minimiert starten" chosen with the access keys: Anzeige, then Minimiert starten.
open_menu 1023 Optionen 274
xdotool key a; sleep 0.5; xdotool key m
close_menus
# The menu posts its command when it closes: up to 5 s for the stored option.
minimized() { run reg query 'HKCU\Software\Velmora\Orvalis' /v Minimized | tr -d '\r' | grep -q '0x1'; }
for _ in $(seq 1 10); do minimized && break; sleep 0.5; done
minimized || fail "Minimiert starten was not chosen"
run "$driver" option show
echo "chrome: menu bar ok"

# The tray icon's menu opens at the mouse; "&Info" by its access key shows the about box.
drv tray-present >/dev/null || fail "no tray icon"
xdotool mousemove 640 500; sleep 0.3
run "$driver" tray right
menu=$(drv wait-menu 5000) || fail "the tray menu did not open"
read -r mx my mw mh <<<"$menu"
[ "$mx $my" = "640 500" ] || fail "the tray menu opened at $mx $my, not at the mouse"
screenshot chrome-menu-tray
xdotool key i
run "$driver" wait-class TFormInfo 5000 || fail "\"Info\" did not show the about box"
close_menus
echo "chrome: tray menu ok"

# The about box: version from the file, shape, never twice, a click hides it.
run "$driver" sync || fail "the program does not answer"
version=$(drv control-text TFormInfo 1302)
[ "$version" = "v1.2.0.0" ] || fail "the about box shows version \"$version\""
read -r ix iy iw ih <<<"$(drv window-rect TFormInfo)"
[ "$iw $ih" = "350 250" ] || fail "about box size $iw x $ih"
region=$(drv region TFormInfo | tr '\n' ' ')
[ "$region" = "6 0 345 1 4 1 347 2 3 2 348 3 2 3 349 5 1 5 351 245 2 245 349 247 3 247 348 248 4 248 347 249 6 249 345 250 " ] \
  || fail "about box region: $region"
xdotool mousemove 5 780
screenshot chrome-about
about="$shots/chrome-about.png"
# Its cut corners show what lies behind it, as it was before it came.
for p in "$ix $iy" "$((ix + 349)) $((iy + 249))" "$((ix + 5)) $iy" "$ix $((iy + 4))"; do
  set -- $p
  [ "$(pixel "$about" "$1" "$2")" = "$(pixel "$main" "$1" "$2")" ] \
    || fail "the about box covers its corner ($1, $2)"
done
expect_other_pixel "$about" $((ix + 6)) "$iy" "$(pixel "$main" $((ix + 6)) "$iy" | tr -d '#')"
run "$driver" command 3032   # "&Info" of the "Hilfe" menu while it is open
[ "$(drv window-count TFormInfo)" = 1 ] || fail "the about box is shown twice"
read -r vx vy vw vh <<<"$(drv control-rect TFormInfo 1302)"
xdotool mousemove $((vx + vw / 2)) $((vy + vh / 2)); sleep 0.3; xdotool click 1
for _ in $(seq 1 25); do [ "$(drv window-count TFormInfo)" = 0 ] && break; sleep 0.2; done
[ "$(drv window-count TFormInfo)" = 0 ] || fail "a click on the version did not hide the about box"
echo "chrome: about box ok"

# The minimise button: hover look with its tooltip, a click sends the window to the tray.
read -r hx hy hw hh <<<"$(drv control-rect TFormMain 1027)"
xdotool mousemove $((hx + hw / 2)) $((hy + hh / 2)); sleep 1.5
screenshot chrome-hover-minimize
xdotool click 1
for _ in $(seq 1 25); do run "$driver" is-visible || break; sleep 0.2; done
run "$driver" is-visible; [ $? = 3 ] || fail "minimising left the window shown"
run "$driver" is-iconic || fail "the window is not minimised"
kill -0 "$orvalis_pid" 2>/dev/null || fail "minimising ended the program"
# The shell restarts: the icon is gone until the program hears "TaskbarCreated".
run "$driver" tray-remove || fail "no tray icon to remove"
run "$driver" tray-present; [ $? = 3 ] || fail "the tray icon is still there"
run "$driver" taskbar-created || fail "TaskbarCreated was not handled"
run "$driver" tray-present || fail "the tray icon did not come back"
run "$driver" tray click || fail "the tray click was not handled"
run "$driver" is-visible || fail "a click on the tray icon did not show the window"
run "$driver" is-iconic; [ $? = 3 ] || fail "the window is still minimised"
echo "chrome: tray ok"

# Dragging: the title with the left button moves the window; the right button, the list and
# the menu labels do not; the bare skin does.
xdotool mousemove 5 780; sleep 0.3
read -r wx wy ww wh <<<"$(drv window-rect)"
drag() {  # X Y DX DY BUTTON
  xdotool mousemove "$1" "$2"; sleep 0.2; xdotool mousedown "$5"; sleep 0.3
  xdotool mousemove $(($1 + $3 / 2)) $(($2 + $4 / 2)); sleep 0.2
  xdotool mousemove $(($1 + $3)) $(($2 + $4)); sleep 0.3
  xdotool mouseup "$5"; sleep 0.5
}
expect_at() { [ "$(drv window-rect)" = "$1 $2 570 427" ] || fail "$3: window at $(drv window-rect)"; }
drag $((wx + 80)) $((wy + 39)) 60 40 3
expect_at "$wx" "$wy" "the right button dragged"
drag $((wx + 200)) $((wy + 200)) 60 40 1
expect_at "$wx" "$wy" "a press on the list dragged"
drag $((wx + 80)) $((wy + 39)) 60 40 1
expect_at $((wx + 60)) $((wy + 40)) "the title did not drag"
drag $((wx + 60 + 450)) $((wy + 40 + 385)) -60 -40 1
expect_at "$wx" "$wy" "the bare skin did not drag"
echo "chrome: dragging ok"

# Help: without a help file beside the program, a message says so.
if [ -f "$(dirname "$exe")/help.chm" ]; then
  echo "chrome: help.chm lies beside the program; the missing-file message is not checked"
else
  click_control 1028
  text=$(drv dialog-text 5000) || fail "no message about the missing help file"
  case "$text" in "Die Hilfedatei wurde nicht gefunden:"*help.chm*) ;; *) fail "help message: $text" ;; esac
  echo "chrome: missing help file reported"
fi
xdotool mousemove 5 780; sleep 0.5

# "&Beenden" from the "Programm" menu by its access key ends the program.
open_menu 1022 Programm 197
xdotool key b
for _ in $(seq 1 50); do kill -0 "$orvalis_pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$orvalis_pid" 2>/dev/null && fail "Beenden did not end the program"
orvalis_pid=""
run "$driver" backdrop-off
echo "chrome: ok"
