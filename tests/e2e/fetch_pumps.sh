#!/usr/bin/env bash
# An invisible fetch that waits for a silent server keeps the program answering: a task bound
# to Windows start fetches from a loopback server that accepts and never answers, with a 6 s
# time-out; while the fetch waits, the main window answers messages; start-up then completes.
# Usage: fetch_pumps.sh PREFIX ORVALIS_EXE DRIVER_EXE SCREENSHOT_DIR
set -u
prefix="$1"; exe="$2"; driver="$3"; shots="$4"
. "$(dirname "$0")/lib.sh"

port=$((38000 + RANDOM % 2000))
out="$(mktemp)"
run "$driver" silent-server "$port" 25 >"$out" 2>&1 &
server=$!
sleep 1

reset_registry
import_registry <<REG
REGEDIT4

[HKEY_CURRENT_USER\Software\Velmora\Orvalis\Jobs\Abruf]
"TaskAuto"=dword:00000000
"TimeEnabled"=dword:00000000
"IntEnabled"=dword:00000000
"OnWindowsEnabled"=dword:00000001
"OnWindows"=dword:00000000
"TaskType"=dword:00000001
"URL"="http://127.0.0.1:$port/status"
"InBrowser"=dword:00000000
"TimeoutEnabled"=dword:00000001
"Timeout"=dword:00001770
REG

t0=$(date +%s%N)
start_orvalis
sleep 2  # the fetch is waiting now
run "$driver" responsive 10000 || { echo "fetch_pumps: the window did not answer during the fetch"; exit 1; }
run "$driver" is-visible; vis=$?
[ "$vis" = 3 ] || { echo "fetch_pumps: the start-up did not wait for the Windows-start fetch ($vis)"; exit 1; }
run "$driver" wait-window 30000 || exit 1
t1=$(date +%s%N)
elapsed=$(( (t1 - t0) / 1000000 ))
echo "fetch_pumps: window shown after ${elapsed} ms"
[ "$elapsed" -ge 5500 ] || { echo "fetch_pumps: the fetch did not wait for its time-out"; exit 1; }
wait "$server"
grep -q "connection 1" "$out" || { echo "fetch_pumps: the server saw no request"; cat "$out"; exit 1; }
echo "fetch_pumps: ok"
