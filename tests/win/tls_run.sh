#!/usr/bin/env bash
# Runs the TLS tests of the invisible fetch: starts the loopback servers of tls_server.py (with a
# certificate authority made for this run), then the test program under Wine with the servers'
# ports in its environment.
# Usage: tls_run.sh PREFIX TEST_EXE [gtest options]
set -u
prefix="$1"; exe="$2"; shift 2
here="$(cd "$(dirname "$0")" && pwd)"
dir="$(mktemp -d)"
python3 "$here/tls_server.py" "$dir" >"$dir/server.log" 2>&1 &
server=$!
trap 'kill $server 2>/dev/null; wait $server 2>/dev/null; rm -rf "$dir"' EXIT
for _ in $(seq 1 300); do
  [ -f "$dir/ports" ] && break
  kill -0 "$server" 2>/dev/null || { echo "tls_run: the servers did not start"; cat "$dir/server.log"; exit 1; }
  sleep 0.1
done
[ -f "$dir/ports" ] || { echo "tls_run: the servers did not start in time"; exit 1; }
while IFS='=' read -r name port; do
  export "ORV_TLS_${name^^}=$port"
done <"$dir/ports"
export ORV_TLS_DIR="Z:${dir//\//\\}"
"$here/../wine-run.sh" "$prefix" "$exe" "$@"
