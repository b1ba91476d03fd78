#!/usr/bin/env bash
# Starts the real Orvalis.exe under Wine with the German locale and no tasks, finds its window,
# checks the task list's headings (umlauts included) and saves a screenshot.
# Usage: skeleton.sh PREFIX ORVALIS_EXE DRIVER_EXE SCREENSHOT_DIR
set -u
prefix="$1"; exe="$2"; driver="$3"; shots="$4"
. "$(dirname "$0")/lib.sh"

reset_registry
start_orvalis
run "$driver" wait-window 30000 || exit 1
screenshot skeleton || exit 1

size=$(run "$driver" window-size | tr -d '\r')
echo "skeleton: window size $size"
[ "$size" = "570 427" ] || { echo "skeleton: expected 570 427"; exit 1; }
# The taskbar and Alt+Tab show the window's text: the program's name alone.
xdotool search --name '^Orvalis$' >/dev/null || { echo "skeleton: no window named \"Orvalis\""; exit 1; }
run "$driver" expect-columns "Task-Bezeichnung" "Nächster Start" "Art" || exit 1
rows=$(run "$driver" row-count | tr -d '\r')
[ "$rows" = 0 ] || { echo "skeleton: expected an empty list, got $rows rows"; exit 1; }
echo "skeleton: ok"
