#!/usr/bin/env bash
# An Internet task with an https address and "URL in Browser laden" unticked runs at start-up,
# and its request reaches a loopback TLS server whose certificate authority is trusted in the
# test run's prefix for the length of this test.
# Usage: https_fetch.sh PREFIX ORVALIS_EXE DRIVER_EXE SCREENSHOT_DIR TLS_TESTS_EXE
set -u
prefix="$1"; exe="$2"; driver="$3"; shots="$4"; tls_tests="$5"
. "$(dirname "$0")/lib.sh"

dir="$(mktemp -d)"
python3 "$here/win/tls_server.py" "$dir" >"$dir/server.log" 2>&1 &
server=$!
cleanup() {
  stop_orvalis
  run "$tls_tests" --untrust >/dev/null 2>&1
  kill "$server" 2>/dev/null
  rm -rf "$dir"
}
trap cleanup EXIT
for _ in $(seq 1 300); do [ -f "$dir/ports" ] && break; sleep 0.1; done
[ -f "$dir/ports" ] || { echo "https_fetch: the server did not start"; cat "$dir/server.log"; exit 1; }
port=$(sed -n 's/^good=//p' "$dir/ports")
export ORV_TLS_DIR="$(winpath "$dir")"
run "$tls_tests" --trust || { echo "https_fetch: could not trust the test authority"; exit 1; }

reset_registry
import_registry <<REG
REGEDIT4

[HKEY_CURRENT_USER\Software\Velmora\Orvalis\Jobs\Webhook]
"TaskAuto"=dword:00000000
"TimeEnabled"=dword:00000000
"IntEnabled"=dword:00000000
"OnWindowsEnabled"=dword:00000001
"OnWindows"=dword:00000000
"TaskType"=dword:00000001
"URL"="https://localhost:$port/hook?from=orvalis"
"InBrowser"=dword:00000000
"TimeoutEnabled"=dword:00000001
"Timeout"=dword:00001388
REG

start_orvalis
run "$driver" wait-window 30000 || exit 1
# The Windows-start tasks ran before the window showed; the server logs a request before it
# answers it.
grep -q '"server": "good", "path": "/hook?from=orvalis"' "$dir/requests" 2>/dev/null || {
  echo "https_fetch: the request did not reach the server"; cat "$dir/server.log"; exit 1; }
grep -q "\"Host\", \"localhost:$port\"" "$dir/requests" || { echo "https_fetch: wrong Host"; exit 1; }
echo "https_fetch: ok"
