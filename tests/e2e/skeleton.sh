#!/usr/bin/env bash
# Starts the real Orvalis.exe under Wine with the German locale, finds its window, checks the
# task list's headings (umlauts included) and saves a screenshot.
# Usage: skeleton.sh PREFIX ORVALIS_EXE DRIVER_EXE SCREENSHOT_DIR
set -u
prefix="$1"; exe="$2"; driver="$3"; shots="$4"
here="$(cd "$(dirname "$0")/.." && pwd)"
run() { "$here/wine-run.sh" "$prefix" "$@"; }
if [ -z "${DISPLAY:-}" ]; then echo "skeleton: no display (the test command provides one)"; exit 1; fi

run "$exe" &
pid=$!
trap 'run "$driver" close >/dev/null 2>&1; sleep 1; kill $pid 2>/dev/null' EXIT

run "$driver" wait-window 30000 || exit 1
sleep 1  # let it paint
mkdir -p "$shots"
import -window root "$shots/skeleton.png" || { echo "skeleton: no screenshot"; exit 1; }
[ -s "$shots/skeleton.png" ] || exit 1
echo "skeleton: screenshot $shots/skeleton.png"

size=$(run "$driver" window-size | tr -d '\r')
echo "skeleton: window size $size"
[ "$size" = "570 427" ] || { echo "skeleton: expected 570 427"; exit 1; }

run "$driver" expect-columns "Task-Bezeichnung" "Nächster Start" "Art" || exit 1
rows=$(run "$driver" row-count | tr -d '\r')
[ "$rows" = 0 ] || { echo "skeleton: expected an empty list, got $rows rows"; exit 1; }
echo "skeleton: ok"
