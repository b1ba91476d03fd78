#!/usr/bin/env bash
# What an idle Orvalis costs: starts it with 100 stored tasks (clock, idle and file-change
# tasks, none due), leaves it alone for MINUTES minutes of real ticks, and reads the program's
# process (the Wine process named Orvalis.exe) from /proc: its resident set after the first
# minute and at the end, and the CPU time it used, projected to an hour.
# Usage: idle_cost.sh PREFIX ORVALIS_EXE DRIVER_EXE SCREENSHOT_DIR MINUTES
set -u
prefix="$1"; exe="$2"; driver="$3"; shots="$4"; minutes="${5:-5}"
. "$(dirname "$0")/lib.sh"

reset_registry
{
  echo REGEDIT4
  for i in $(seq 1 100); do
    echo
    echo "[HKEY_CURRENT_USER\\Software\\Velmora\\Orvalis\\Jobs\\Task $i]"
    case $((i % 4)) in
      0) echo '"TaskAuto"=dword:00000001'; echo '"OnIdle"=dword:00000001'; echo '"IdleTime"=dword:0000003c' ;;
      1) echo '"TaskAuto"=dword:00000002'; echo '"ChangeFiles"=dword:00000001' ;;
      *) echo '"TaskAuto"=dword:00000000'; echo '"IntEnabled"=dword:00000001'
         echo '"Intervall"=dword:00000258'; echo '"TimeEnabled"=dword:00000000' ;;
    esac
  done
} | import_registry

start_orvalis
run "$driver" wait-window 60000 || exit 1
pid=""
for _ in $(seq 1 50); do
  pid=$(pgrep -n -x Orvalis.exe) && break
  sleep 0.1
done
[ -n "$pid" ] || { echo "idle_cost: the Orvalis.exe process was not found"; exit 1; }
hz=$(getconf CLK_TCK)
cpu_ms() { awk -v hz="$hz" '{ print int(($14 + $15) * 1000 / hz) }' "/proc/$pid/stat"; }
rss_kb() { awk '/^VmRSS:/ { print $2 }' "/proc/$pid/status"; }
# The wineserver of this prefix (other Wine prefixes may have their own meanwhile).
server_pid() {
  local s
  for s in $(pgrep wineserver); do
    tr '\0' '\n' 2>/dev/null <"/proc/$s/environ" | grep -qx "WINEPREFIX=$prefix" && { echo "$s"; return; }
  done
}
server=$(server_pid)
server_ms() {
  [ -n "$server" ] && [ -r "/proc/$server/stat" ] || { echo 0; return; }
  awk -v hz="$hz" '{ print int(($14 + $15) * 1000 / hz) }' "/proc/$server/stat"
}

sleep 60
rss1=$(rss_kb); cpu1=$(cpu_ms); srv1=$(server_ms); t1=$(date +%s)
sleep $(( (minutes - 1) * 60 ))
rss2=$(rss_kb); cpu2=$(cpu_ms); srv2=$(server_ms); t2=$(date +%s)
span=$(( t2 - t1 ))
per_hour=$(( (cpu2 - cpu1) * 3600 / span ))
srv_per_hour=$(( (srv2 - srv1) * 3600 / span ))
echo "idle_cost: $minutes minutes idle with 100 tasks"
echo "idle_cost: resident set ${rss1} kB after 1 minute, ${rss2} kB after $minutes minutes"
echo "idle_cost: CPU $((cpu2 - cpu1)) ms in ${span} s: ${per_hour} ms per hour (program); wineserver ${srv_per_hour} ms per hour"
