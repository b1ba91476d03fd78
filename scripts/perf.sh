#!/usr/bin/env bash
# Measures the figures of docs/performance.md in one run on this machine: the native
# benchmarks, the timed runs under Wine (ticks and list loading on the real registry, start-up
# with 1000 tasks, the hook procedures, one https fetch on loopback), and an idle program's memory and CPU time over
# ORV_IDLE_MINUTES minutes (default 10) of real ticks.
set -euo pipefail
echo "perf: $(date -u '+%Y-%m-%d %H:%M UTC'), $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//'), $(free -g | awk '/^Mem:/{print $2}') GiB, $(/usr/lib/wine/wine64 --version 2>/dev/null)"
cd "$(dirname "$0")/.."
bash scripts/setup.sh >/dev/null
. scripts/display.sh
. tests/wine-env.sh
minutes="${ORV_IDLE_MINUTES:-10}"
preset=win32
orv_wine_i386_ok || preset=win64
preset="${ORV_PERF_PRESET:-$preset}"  # win32 or win64: which build the figures under Wine are of

echo "== native benchmarks (preset bench)"
bash scripts/bench.sh --benchmark_filter='TimerJobsTimer|GetTasks|Hook|SetMinutesText|GetTaskDate' \
  2>/dev/null | grep -E '_mean|^BM_Hook.*_mean'

echo "== under Wine (preset $preset)"
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" >/dev/null
ctest --preset "$preset" -R 'wine_prefix|win_tick_bench|e2e_startup_1000|win_idle|win_tls' -V 2>&1 \
  | grep -E 'real registry|startup_1000:|hook call|https fetch' | sed 's/^[0-9]*: //'

echo "== idle program, $minutes minutes"
prefix="$PWD/build/$preset/perfprefix"
bash tests/wine-prefix.sh up "$prefix" >/dev/null
bash tests/e2e/idle_cost.sh "$prefix" "$PWD/build/$preset/src/Orvalis.exe" \
  "$PWD/build/$preset/tests/orvalis_driver.exe" "$PWD/build/$preset/screenshots" "$minutes"
bash tests/wine-prefix.sh down "$prefix"
