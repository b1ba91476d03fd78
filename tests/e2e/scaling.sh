#!/usr/bin/env bash
# Display scaling: at 96, 120 and 144 dpi (the system's dpi, read when Wine's server starts) the
# main window, each step of the task editor, a question, the about box, the history window and
# the export window are laid out from the one design at 96 dpi: no control lies outside its parent or over a sibling, and the
# window grows by the scale. A screenshot of each. Then a move to a monitor of another scale
# (WM_DPICHANGED, sent directly: Wine has one scale for all monitors) lays the window out anew:
# the main window, the editor, a question and the history window; and the about box opens at
# the scale of the main window, not the system's.
# Usage: scaling.sh PREFIX ORVALIS_EXE DRIVER_EXE SCREENSHOT_DIR
set -u
prefix="$1"; exe="$2"; driver="$3"; shots="$4"
. "$(dirname "$0")/lib.sh"

fail() { echo "scaling: $*"; exit 1; }
# Drawn one over the other on purpose: the title and its shadow, each image button and the hot
# area that covers it.
chrome_pairs="1020:1021 1025:1027 1026:1028"
layout() {  # NAME [CLASS]
  local out
  out=$(run "$driver" check-layout ${2:-} $chrome_pairs | tr -d '\r') || fail "$1 at $dpi dpi: $out"
}
press() { run "$driver" press "$1" || fail "cannot press $1"; }
scaled() { echo $(( ($1 * dpi + 48) / 96 )); }
# A control of the main window sits at its design place, its edges scaled.
placed() {  # ID LEFT TOP WIDTH HEIGHT (at 96 dpi, in the window)
  local wx wy x y w h
  read -r wx wy _ _ <<<"$(run "$driver" window-rect | tr -d '\r')"
  read -r x y w h <<<"$(run "$driver" control-rect TFormMain "$1" | tr -d '\r')"
  local got="$((x - wx)) $((y - wy)) $w $h" want
  want="$(scaled "$2") $(scaled "$3") $(( $(scaled $(($2 + $4))) - $(scaled "$2") ))"
  want="$want $(( $(scaled $(($3 + $5))) - $(scaled "$3") ))"
  [ "$got" = "$want" ] || fail "control $1 at $dpi dpi is at $got, expected $want"
}
# A click on the about box (not on a link) hides it.
hide_about() {
  local ax ay aw ah
  read -r ax ay aw ah <<<"$(run "$driver" window-rect TFormInfo | tr -d '\r')"
  xdotool mousemove $((ax + aw / 2)) $((ay + ah * 3 / 5)) click 1
  xdotool mousemove 5 700
  for _ in 1 2 3 4 5 6 7 8 9 10; do
    [ "$(run "$driver" window-count TFormInfo | tr -d '\r')" = 0 ] && return
    sleep 0.2
  done
  fail "the about box did not hide at $dpi dpi"
}
set_dpi() {
  stop_orvalis
  run reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1
  # The dpi is read when the server starts: a new one, kept up like the run's.
  WINEPREFIX="$prefix" wineserver -k 2>/dev/null
  WINEPREFIX="$prefix" wineserver -w 2>/dev/null
  WINEPREFIX="$prefix" wineserver -p </dev/null >/dev/null 2>&1
}
restore() { set_dpi 96; }
trap 'restore; leave' EXIT

reset_registry
import_registry <<REG
REGEDIT4

[HKEY_CURRENT_USER\Software\Velmora\Orvalis\Jobs\Frage]
"TaskAuto"=dword:00000000
"IntEnabled"=dword:00000001
"Intervall"=dword:00000001
"TimeEnabled"=dword:00000000
"Confirm"=dword:00000001
"TaskType"=dword:00000000
"Program"="C:\\\\windows\\\\notepad.exe"
"ProgramShow"="SW_HIDE"
REG

for dpi in 96 120 144; do
  set_dpi $dpi
  start_orvalis
  run "$driver" wait-window 30000 || fail "no window at $dpi dpi"
  read -r _ _ w h <<<"$(run "$driver" window-rect | tr -d '\r')"
  want_w=$(( (570 * dpi + 48) / 96 )); want_h=$(( (427 * dpi + 48) / 96 ))
  [ "$w" = "$want_w" ] && [ "$h" = "$want_h" ] || fail "window ${w}x$h at $dpi dpi, expected ${want_w}x$want_h"
  layout "the main window"
  placed 1001 26 76 519 236    # the task list
  placed 1002 26 324 100 26    # "Hinzufügen"
  placed 1005 350 324 100 26   # "Starten"
  placed 1022 187 34 70 16     # the menu label "Programm"
  placed 1027 517 32 15 15     # the minimise button's hot area
  screenshot "scaling-$dpi-main"
  # The "Hilfe" menu, clicked with the mouse, opens at its scaled place with its items scaled.
  read -r wx wy _ _ <<<"$(run "$driver" window-rect | tr -d '\r')"
  read -r lx ly lw lh <<<"$(run "$driver" control-rect TFormMain 1024 | tr -d '\r')"
  xdotool mousemove $((lx + lw / 2)) $((ly + lh / 2)) click 1
  menu=$(run "$driver" wait-menu 5000 | tr -d '\r') || fail "the menu did not open at $dpi dpi"
  read -r mx my mw mh <<<"$menu"
  [ "$mx $my" = "$((wx + $(scaled 346))) $((wy + $(scaled 64)))" ] ||
    fail "the menu opened at $mx $my at $dpi dpi"
  [ "$mh" -ge $(( $(scaled 22) * 2 + $(scaled 7) )) ] || fail "the menu is $mh high at $dpi dpi"
  screenshot "scaling-$dpi-menu"
  run "$driver" escape
  run "$driver" menu-closed 2000 >/dev/null || fail "the menu stayed open"
  xdotool mousemove 5 700

  run "$driver" click-main 1002
  run "$driver" shown 2003 || fail "the editor did not open at $dpi dpi"
  layout "step 1 Programm"; screenshot "scaling-$dpi-step1-programm"
  press 2011; layout "step 1 Internet"; screenshot "scaling-$dpi-step1-internet"
  press 2012; layout "step 1 System"; screenshot "scaling-$dpi-step1-system"
  press 2010; press 2003
  layout "step 2 Uhrzeit"; screenshot "scaling-$dpi-step2-uhrzeit"
  press 2017; layout "step 2 Monatstage"; screenshot "scaling-$dpi-step2-monatstage"
  press 2016
  press 2014; layout "step 2 Leerlauf"; screenshot "scaling-$dpi-step2-leerlauf"
  press 2015; layout "step 2 Aenderung"; screenshot "scaling-$dpi-step2-aenderung"
  press 2013; press 2003
  layout "step 3"; screenshot "scaling-$dpi-step3"
  press 2003
  layout "step 4"; screenshot "scaling-$dpi-step4"
  press 2001  # "Abbrechen"
  run "$driver" shown 1001 || fail "the list did not come back at $dpi dpi"

  # A question: the task asks before it runs.
  run "$driver" tick
  run "$driver" wait-class TFormConfirm 20000 || fail "no question at $dpi dpi"
  layout "the question" TFormConfirm
  read -r _ _ w h <<<"$(run "$driver" window-rect TFormConfirm | tr -d '\r')"
  [ "$w" = $(( (350 * dpi + 48) / 96 )) ] || fail "question ${w}x$h at $dpi dpi"
  # Tab: the keyboard is in use, the access keys show; the focus goes on to "Ja".
  run "$driver" keys tab || fail "cannot press Tab in the question at $dpi dpi"
  screenshot "scaling-$dpi-question"
  if [ "$dpi" = 144 ]; then
    # Moved on its own to a monitor at 192 dpi.
    run "$driver" dpi-changed 192 TFormConfirm || fail "cannot send WM_DPICHANGED to the question"
    read -r _ _ w h <<<"$(run "$driver" window-rect TFormConfirm | tr -d '\r')"
    [ "$w $h" = "700 500" ] || fail "question ${w}x$h after WM_DPICHANGED to 192"
    dpi=192 layout "the question after WM_DPICHANGED" TFormConfirm
    screenshot "scaling-moved-192-question"
  fi
  run "$driver" click TFormConfirm 1105 || fail "cannot answer the question"

  run "$driver" command 3032
  run "$driver" wait-class TFormInfo 5000 || fail "no about box at $dpi dpi"
  layout "the about box" TFormInfo
  read -r _ _ w h <<<"$(run "$driver" window-rect TFormInfo | tr -d '\r')"
  [ "$w" = $(( (350 * dpi + 48) / 96 )) ] && [ "$h" = $(( (250 * dpi + 48) / 96 )) ] ||
    fail "about box ${w}x$h at $dpi dpi"
  # Tab: the first link has the focus, with its frame.
  run "$driver" keys tab || fail "cannot press Tab in the about box at $dpi dpi"
  [ "$(run "$driver" focus | tr -d '\r')" = "1305 Static" ] || fail "Tab did not reach the first link"
  screenshot "scaling-$dpi-about"
  hide_about
  if [ "$dpi" = 96 ]; then
    # The main window on a monitor at 144 dpi: the about box opens at that scale.
    run "$driver" dpi-changed 144 || fail "cannot send WM_DPICHANGED"
    run "$driver" command 3032
    run "$driver" wait-class TFormInfo 5000 || fail "no about box over the main window at 144 dpi"
    read -r _ _ w h <<<"$(run "$driver" window-rect TFormInfo | tr -d '\r')"
    [ "$w $h" = "525 375" ] || fail "about box ${w}x$h over the main window at 144 dpi"
    dpi=144 layout "the about box over the main window at 144 dpi" TFormInfo
    screenshot "scaling-96-about-over-144"
    hide_about
    run "$driver" dpi-changed 96 || fail "cannot send WM_DPICHANGED"
  fi

  # The history window and the export window: laid out from their design at the dpi.
  run "$driver" command 3013
  run "$driver" wait-class TFormHistory 5000 || fail "no history window at $dpi dpi"
  layout "the history window" TFormHistory
  screenshot "scaling-$dpi-history"
  if [ "$dpi" = 144 ]; then
    run "$driver" dpi-changed 192 TFormHistory || fail "cannot send WM_DPICHANGED to the history window"
    read -r _ _ w h <<<"$(run "$driver" window-rect TFormHistory | tr -d '\r')"
    [ "$w $h" = "1200 840" ] || fail "history window ${w}x$h after WM_DPICHANGED to 192"
    dpi=192 layout "the history window after WM_DPICHANGED" TFormHistory
    screenshot "scaling-moved-192-history"
  fi
  run "$driver" click TFormHistory 1406 || fail "cannot close the history window"
  run "$driver" command 3014
  run "$driver" wait-class TFormTransfer 5000 || fail "no export window at $dpi dpi"
  layout "the export window" TFormTransfer
  screenshot "scaling-$dpi-export"
  run "$driver" click TFormTransfer 1305 || fail "cannot cancel the export window"
done

# Still at 144 dpi: moved to a monitor at 120, then at 192, the window takes the new size and
# the layout holds, the editor's too.
for to in 120 192; do
  run "$driver" dpi-changed $to || fail "cannot send WM_DPICHANGED"
  read -r _ _ w h <<<"$(run "$driver" window-rect | tr -d '\r')"
  [ "$w" = $(( (570 * to + 48) / 96 )) ] && [ "$h" = $(( (427 * to + 48) / 96 )) ] ||
    fail "after WM_DPICHANGED to $to: ${w}x$h"
  dpi=$to
  layout "the main window after WM_DPICHANGED"
  placed 1001 26 76 519 236
  placed 1002 26 324 100 26
  run "$driver" click-main 1002
  layout "the editor after WM_DPICHANGED"
  screenshot "scaling-moved-$to-editor"
  press 2001
done
echo "scaling: laid out at 96, 120 and 144 dpi and after WM_DPICHANGED to 120 and 192" \
  "(main window, editor, question, history window); the about box at the main window's dpi"
