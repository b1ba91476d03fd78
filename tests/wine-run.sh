#!/usr/bin/env bash
# Runs a Windows executable under Wine in the given prefix with the German locale.
# Usage: wine-run.sh PREFIX PROGRAM [ARGS...]
#
# The program's output goes through a file: Wine's background processes (services, the
# desktop window) are started by the first program that needs them and inherit its handles, so
# a pipe handed to Wine directly would stay open after the program ends and the caller would
# wait for ever.
set -u
prefix="$1"; shift
. "$(dirname "$0")/wine-env.sh"
export WINEPREFIX="$prefix"
if [ ! -f "$prefix/system.reg" ]; then
  echo "wine-run: the prefix $prefix does not exist; the test wine_prefix_up makes it" >&2
  exit 1
fi
out=$(mktemp)
trap 'rm -f "$out"' EXIT
"$ORV_WINE" "$@" </dev/null >"$out" 2>&1
rc=$?
cat "$out"
exit $rc
