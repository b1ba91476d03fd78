#!/usr/bin/env bash
# An invisible fetch never freezes the program and never keeps it alive. Against a loopback
# server that accepts and never answers:
# 1. a task bound to Windows start fetches with a 6 s time-out; while it waits the main window
#    answers, the connection has TCP keep-alive on, and start-up completes after the time-out;
# 2. "Starten" while a fetch started by "Starten" waits starts a nested fetch: the window still
#    answers while both wait;
# 3. "Beenden" while a fetch without a time-out waits ends the process within 2 s, no later
#    fetch starts, and a new start of the program works (the single-instance check is free);
#    the end of the session during such a fetch ends it within 2 s as well.
# Usage: fetch_pumps.sh PREFIX ORVALIS_EXE DRIVER_EXE SCREENSHOT_DIR
set -u
prefix="$1"; exe="$2"; driver="$3"; shots="$4"
. "$(dirname "$0")/lib.sh"

port=$((38000 + RANDOM % 2000))
out="$(mktemp)"
# Accepts, logs each connection at once, reads and never answers.
python3 - "$port" "$out" <<'PY' &
import socket, sys, time
port, log = int(sys.argv[1]), sys.argv[2]
listener = socket.create_server(("127.0.0.1", port))
with open(log, "a") as f:
    f.write("listening\n")
held = []
while True:
    c, _ = listener.accept()
    held.append(c)
    with open(log, "a") as f:
        f.write("connection %d\n" % len(held))
PY
server=$!
trap 'kill $server 2>/dev/null; stop_orvalis' EXIT
for _ in $(seq 1 100); do grep -q listening "$out" && break; sleep 0.05; done

# Waits until the server has accepted N connections in all (up to 20 s).
connections() { grep -c "connection" "$out"; }
wait_connections() {
  for _ in $(seq 1 400); do
    [ "$(connections)" -ge "$1" ] && return 0
    sleep 0.05
  done
  echo "fetch_pumps: the server never saw connection $1"; cat "$out"; exit 1
}

task() {  # name, OnWindowsEnabled, TimeoutEnabled, Timeout (hex)
  cat <<REG

[HKEY_CURRENT_USER\Software\Velmora\Orvalis\Jobs\\$1]
"TaskAuto"=dword:00000000
"TimeEnabled"=dword:00000000
"IntEnabled"=dword:00000000
"OnWindowsEnabled"=dword:0000000$2
"OnWindows"=dword:00000000
"TaskType"=dword:00000001
"URL"="http://127.0.0.1:$port/$1"
"InBrowser"=dword:00000000
"TimeoutEnabled"=dword:0000000$3
"Timeout"=dword:$4
REG
}
reset_registry
# The rows in list order: Abruf 0, Endlos 1, Warten 2.
{
  echo REGEDIT4
  task Abruf 1 1 00001770   # 6 s
  task Endlos 0 0 00000000  # no time-out
  task Warten 0 1 00001388  # 5 s
} | import_registry

# 1. The fetch at start-up.
t0=$(date +%s%N)
start_orvalis
wait_connections 1
run "$driver" responsive 10000 || { echo "fetch_pumps: the window did not answer during the fetch"; exit 1; }
run "$driver" is-visible; vis=$?
[ "$vis" = 3 ] || { echo "fetch_pumps: the start-up did not wait for the Windows-start fetch ($vis)"; exit 1; }
if command -v ss >/dev/null; then
  # Wine hands the keep-alive times to the host's socket: the kernel shows its timer.
  sockets=$(ss -tnoH state established "( dport = :$port )")
  echo "fetch_pumps: $sockets"
  echo "$sockets" | grep -q "keepalive" || { echo "fetch_pumps: the connection has no keep-alive"; exit 1; }
else
  echo "fetch_pumps: no ss on this machine, keep-alive not checked"
fi
run "$driver" wait-window 30000 || exit 1
t1=$(date +%s%N)
elapsed=$(( (t1 - t0) / 1000000 ))
echo "fetch_pumps: window shown after ${elapsed} ms"
[ "$elapsed" -ge 5500 ] || { echo "fetch_pumps: the fetch did not wait for its time-out"; exit 1; }

# 2. A nested fetch: "Starten" on "Warten", and again while its fetch waits.
run "$driver" wait-rows 3 10000 || exit 1
run "$driver" select 2 || exit 1
run "$driver" click-main 1005
wait_connections 2
run "$driver" click-main 1005
wait_connections 3
run "$driver" responsive 10000 || { echo "fetch_pumps: the window froze during the nested fetch"; exit 1; }
screenshot fetch-nested

# 3. "Beenden", and then the end of the session, during a fetch that has no time-out.
# Waits until the program's process is gone (up to 10 s); prints the milliseconds since the
# driver's "sent at MS" line in $1.
wait_gone() {
  local gone="" sent
  sent=$(sed -n 's/^sent at \([0-9]*\).*/\1/p' <<<"$1")
  [ -n "$sent" ] || { echo "no time from the driver: $1"; return 1; }
  for _ in $(seq 1 200); do
    if ! kill -0 "$orvalis_pid" 2>/dev/null; then gone=yes; break; fi
    sleep 0.05
  done
  echo $(( $(date +%s%N) / 1000000 - sent ))
  [ -n "$gone" ] && orvalis_pid=""
  [ -n "$gone" ]
}
# The two fetches of "Warten" still wait; "Starten" nests a third. "Endlos" and "Warten" are
# selected now: it fetches "Endlos" first, and after "Beenden" no fetch of "Warten" starts.
run "$driver" select 1 || exit 1
run "$driver" click-main 1005
wait_connections 4
sent=$(run "$driver" quit)
quit_ms=$(wait_gone "$sent") || { echo "fetch_pumps: the process still runs ${quit_ms} ms after \"Beenden\""; exit 1; }
echo "fetch_pumps: process gone ${quit_ms} ms after \"Beenden\""
[ "$quit_ms" -lt 2000 ] || { echo "fetch_pumps: \"Beenden\" took too long"; exit 1; }
[ "$(connections)" = 4 ] || { echo "fetch_pumps: a fetch started after \"Beenden\""; exit 1; }

# A new start works: the single-instance semaphore went with the process. (It fetches "Abruf"
# at start-up again.)
start_orvalis
run "$driver" wait-window 30000 || { echo "fetch_pumps: a new start did not show the window"; exit 1; }
run "$driver" wait-rows 3 10000 || exit 1
run "$driver" select 1 || exit 1
run "$driver" click-main 1005
wait_connections 6
sent=$(run "$driver" end-session)
end_ms=$(wait_gone "$sent") || { echo "fetch_pumps: the process still runs ${end_ms} ms after the session's end"; exit 1; }
echo "fetch_pumps: process gone ${end_ms} ms after the session's end"
[ "$end_ms" -lt 2000 ] || { echo "fetch_pumps: the session's end took too long"; exit 1; }
echo "fetch_pumps: ok"
