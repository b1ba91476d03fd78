#!/usr/bin/env bash
# Runs a Windows executable under Wine in the given prefix with the German locale.
# Usage: wine-run.sh PREFIX PROGRAM [ARGS...]
set -u
prefix="$1"; shift
. "$(dirname "$0")/wine-env.sh"
export WINEPREFIX="$prefix"
if [ ! -f "$prefix/system.reg" ]; then
  echo "wine-run: the prefix $prefix does not exist; the test wine_prefix_up makes it" >&2
  exit 1
fi
exec "$ORV_WINE" "$@"
