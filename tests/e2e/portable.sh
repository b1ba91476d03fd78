#!/usr/bin/env bash
# The portable package: unpacked into a folder of its own, its Orvalis.exe starts, finds
# help.chm beside it and lists a task stored before.
# Usage: portable.sh PREFIX ORVALIS_EXE DRIVER_EXE SCREENSHOT_DIR ZIP BITS
set -u
prefix="$1"; exe="$2"; driver="$3"; shots="$4"; zip="$5"; bits="$6"
. "$(dirname "$0")/lib.sh"
. "$(dirname "$0")/setup_lib.sh"
skip_unless_runnable portable

folder="$(mktemp -d)/Orvalis portabel"
mkdir -p "$folder"
trap 'stop_orvalis; rm -rf "$(dirname "$folder")"' EXIT
unzip -q "$zip" -d "$folder" || { echo "portable: cannot unpack $zip"; exit 1; }
ls -l "$folder"
[ -f "$folder/help.chm" ] || { echo "portable: no help.chm beside Orvalis.exe"; exit 1; }

reset_registry
import_registry <<'REG'
REGEDIT4

[HKEY_CURRENT_USER\Software\Velmora\Orvalis\Jobs\Portabel]
"TaskAuto"=dword:00000001
"OnIdle"=dword:00000001
"IdleTime"=dword:00000007
REG

exe="$folder/Orvalis.exe"
start_orvalis
run "$driver" wait-window 30000 || { echo "portable: Orvalis.exe from the package shows no window"; exit 1; }
screenshot portable-running
rows=$(run "$driver" rows | tr -d '\r')
echo "$rows"
[ "$rows" = "Portabel | 7 Minute(n) | Leerlauf" ] || { echo "portable: the stored task is not listed"; exit 1; }
stop_orvalis
reset_registry
echo "portable: ok"
