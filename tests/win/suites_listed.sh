#!/usr/bin/env bash
# Fails when the Windows test executable holds a test that none of the per-suite ctest entries
# runs (a new suite that tests/CMakeLists.txt does not list yet).
# Usage: suites_listed.sh PREFIX WIN_TESTS_EXE FILTERS   (FILTERS as for --gtest_filter, ':'-joined)
set -u
prefix="$1"; exe="$2"; filters="$3"
left=$(bash "$(dirname "$0")/../wine-run.sh" "$prefix" "$exe" --gtest_list_tests "--gtest_filter=-$filters") \
  || { echo "suites_listed: cannot list the tests"; echo "$left"; exit 1; }
left=$(printf '%s\n' "$left" | tr -d '\r' | grep -v '^ ' | grep -v '^$' | grep -v '^Running main')
if [ -n "$left" ]; then
  echo "suites_listed: suites without a ctest entry (add them to ORV_WIN_SUITES_* in tests/CMakeLists.txt):"
  printf '%s\n' "$left"
  exit 1
fi
echo "suites_listed: every suite has its entry"
