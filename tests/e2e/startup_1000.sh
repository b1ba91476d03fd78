#!/usr/bin/env bash
# Times the start-up with 1000 stored tasks: from starting Orvalis.exe to the shown window that
# lists all of them. Prints the figure; fails only far beyond the budget, since a loaded
# machine and Wine's process start are part of what it measures.
# Usage: startup_1000.sh PREFIX ORVALIS_EXE DRIVER_EXE SCREENSHOT_DIR
set -u
prefix="$1"; exe="$2"; driver="$3"; shots="$4"
. "$(dirname "$0")/lib.sh"

# For comparison: the same start with no task at all.
reset_registry
t0=$(date +%s%N)
start_orvalis
run "$driver" wait-window 60000 || exit 1
t1=$(date +%s%N)
empty_ms=$(( (t1 - t0) / 1000000 ))
stop_orvalis

{
  echo REGEDIT4
  for i in $(seq 1 1000); do
    echo
    echo "[HKEY_CURRENT_USER\\Software\\Velmora\\Orvalis\\Jobs\\Task $i]"
    case $((i % 4)) in
      0) echo '"TaskAuto"=dword:00000001'; echo '"OnIdle"=dword:00000001'; echo '"IdleTime"=dword:0000000a' ;;
      1) echo '"TaskAuto"=dword:00000002'; echo '"ChangeFiles"=dword:00000001' ;;
      *) echo '"TaskAuto"=dword:00000000'; echo '"IntEnabled"=dword:00000001'
         echo '"Intervall"=dword:0000001e'; echo '"TimeEnabled"=dword:00000001'; echo '"Time"="18:00"' ;;
    esac
  done
} | import_registry

# The driver's own start-up under Wine is measured too and taken off.
t0=$(date +%s%N); run "$driver" row-count >/dev/null 2>&1; t1=$(date +%s%N)
driver_ms=$(( (t1 - t0) / 1000000 ))

t0=$(date +%s%N)
start_orvalis
run "$driver" wait-window 60000 || exit 1
run "$driver" wait-rows 1000 60000 || exit 1
t1=$(date +%s%N)
total_ms=$(( (t1 - t0) / 1000000 ))
echo "startup_1000: window shown with 1000 tasks after ${total_ms} ms, with none after ${empty_ms} ms (each includes about ${driver_ms} ms of the driver's own start under Wine)"
screenshot startup_1000
[ "$total_ms" -lt 30000 ] || { echo "startup_1000: far beyond the budget"; exit 1; }
