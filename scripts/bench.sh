#!/usr/bin/env bash
# Measures the scheduler natively: an optimised build (no sanitizers) and Google Benchmark.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset bench >/dev/null
cmake --build --preset bench --target orvalis_bench >/dev/null
./build/bench/tests/orvalis_bench --benchmark_repetitions=3 --benchmark_report_aggregates_only=true "$@"
