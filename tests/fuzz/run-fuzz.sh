#!/usr/bin/env bash
# Runs one fuzz target for a bounded time on a temporary copy of its seed corpus, so that the
# committed corpus is never changed. Fails on any crash, sanitizer report, time-out or leak.
# usage: run-fuzz.sh <fuzz target> <seed corpus> <seconds> <artifact folder> [libFuzzer options]
set -euo pipefail
fuzzer=$1 seeds=$2 seconds=$3 artifacts=$4
shift 4

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/corpus" "$artifacts"
cp -R "$seeds/." "$work/corpus/"

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

set +e
"$fuzzer" -max_total_time="$seconds" -error_exitcode=77 -timeout_exitcode=78 -timeout=10 \
  -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$artifacts/" "$@" \
  "$work/corpus" >"$work/log" 2>&1
rc=$?
set -e

# Progress lines are many; keep the start, the last lines and the final statistics.
grep -E '^INFO: (Loaded|Seed|-max_len)|INITED|DONE|^stat::' "$work/log" || true
tail -n 5 "$work/log" | grep -vE '^stat::' || true

if [ "$rc" -ne 0 ] || grep -qE 'ERROR: [A-Za-z]+Sanitizer|runtime error:|deadly signal' "$work/log"; then
  echo "---- fuzz log (end) ----"
  tail -n 80 "$work/log"
  echo "run-fuzz: $(basename "$fuzzer") failed (exit $rc); the failing input is in $artifacts/" >&2
  exit 1
fi
