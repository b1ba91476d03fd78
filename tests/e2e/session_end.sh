#!/usr/bin/env bash
# The end of the Windows session: asked whether the session may end, the program runs the tasks
# bound to "Windows-Shutdown" in list order (invisible fetches, so that a loopback server sees
# their order), passes over a broken one, answers yes, and from then on closes when asked.
# Told that the session ends (WM_ENDSESSION), it leaves at once.
# Usage: session_end.sh PREFIX ORVALIS_EXE DRIVER_EXE SCREENSHOT_DIR
set -u
prefix="$1"; exe="$2"; driver="$3"; shots="$4"
. "$(dirname "$0")/lib.sh"

port=$((40000 + RANDOM % 2000))
seen="$(mktemp)"
python3 - "$port" "$seen" <<'PY' &
import http.server, sys
port, log = int(sys.argv[1]), sys.argv[2]
class H(http.server.BaseHTTPRequestHandler):
    def do_GET(self):
        with open(log, "a") as f:
            f.write(self.path + "\n")
        self.send_response(200)
        self.send_header("Content-Length", "2")
        self.end_headers()
        self.wfile.write(b"ok")
    def log_message(self, *a):
        pass
http.server.HTTPServer(("127.0.0.1", port), H).serve_forever()
PY
server=$!
trap 'kill $server 2>/dev/null; stop_orvalis' EXIT
for _ in $(seq 1 100); do (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && break; sleep 0.1; done

task() {  # name, OnWindowsEnabled, OnWindows (empty: none stored), OncePerSession
  cat <<REG

[HKEY_CURRENT_USER\Software\Velmora\Orvalis\Jobs\\$1]
"TaskAuto"=dword:00000000
"TimeEnabled"=dword:00000000
"IntEnabled"=dword:00000001
"Intervall"=dword:00000258
"OnWindowsEnabled"=dword:0000000$2
"OncePerSession"=dword:0000000$4
"TaskType"=dword:00000001
"URL"="http://127.0.0.1:$port/$1"
"InBrowser"=dword:00000000
"TimeoutEnabled"=dword:00000001
"Timeout"=dword:00000bb8
REG
  [ -n "$3" ] && echo "\"OnWindows\"=dword:0000000$3"
}
reset_registry
{
  echo REGEDIT4
  task Anton 1 1 0
  task Berta 1 1 1
  task Caesar 1 "" 0
  task Dora 1 1 0
  task Emil 0 1 0
  task Friedrich 1 0 0
} | import_registry

start_orvalis
# The task without a binding cannot be read at start-up and is reported once.
run "$driver" dialog-text 30000 >/dev/null || { echo "session_end: no report of the broken task"; exit 1; }
run "$driver" wait-rows 6 30000 >/dev/null || { echo "session_end: the list did not fill"; run "$driver" rows; exit 1; }
: >"$seen"  # Friedrich ran at start

answer=$(run "$driver" query-end-session | tr -d '\r')
[ "$answer" = 1 ] || { echo "session_end: answer '$answer', expected 1"; exit 1; }
got=$(tr '\n' ' ' <"$seen")
[ "$got" = "/Anton /Berta /Dora " ] || { echo "session_end: first query ran '$got'"; exit 1; }
echo "session_end: first query ran $got"

# A cancelled shutdown and a second query: the once-per-session task does not run again.
: >"$seen"
answer=$(run "$driver" query-end-session | tr -d '\r')
[ "$answer" = 1 ] || { echo "session_end: second answer '$answer'"; exit 1; }
got=$(tr '\n' ' ' <"$seen")
[ "$got" = "/Anton /Dora " ] || { echo "session_end: second query ran '$got'"; exit 1; }
echo "session_end: second query ran $got"
run "$driver" rows | tr -d '\r' | grep -qF 'Berta | N\u00E4chste Session |' \
  || { echo "session_end: Berta is not marked for the next session"; run "$driver" rows; exit 1; }

# The window no longer refuses to close: a close request ends the program.
run "$driver" close
for _ in $(seq 1 100); do kill -0 "$orvalis_pid" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$orvalis_pid" 2>/dev/null; then echo "session_end: still running after close"; exit 1; fi
orvalis_pid=""
echo "session_end: the program ended at the close request"

# The session really ends: told so, the program leaves at once, without a close request.
start_orvalis
run "$driver" dialog-text 30000 >/dev/null
run "$driver" wait-rows 6 30000 >/dev/null || { echo "session_end: no list after the restart"; exit 1; }
run "$driver" tray-present || { echo "session_end: no tray icon"; exit 1; }
run "$driver" end-session
for _ in $(seq 1 100); do kill -0 "$orvalis_pid" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$orvalis_pid" 2>/dev/null; then echo "session_end: still running after WM_ENDSESSION"; exit 1; fi
orvalis_pid=""
echo "session_end: the program ended with the session"
