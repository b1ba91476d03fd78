#!/usr/bin/env bash
# The scheduler in real time (about four minutes):
#  - "Frage", due at the first tick, asks first: the confirmation dialog shows (screenshot),
#    the driver answers "Ja" and the program starts;
#  - "Nachholen", whose stored next start lies yesterday with Recover 0, runs at the first tick
#    and gets a next start in the future;
#  - "Punkt", set to a minute about two and a half minutes ahead, runs once at that minute.
# Usage: tick_realtime.sh PREFIX ORVALIS_EXE DRIVER_EXE SCREENSHOT_DIR RECORD_ARGS_EXE
set -u
prefix="$1"; exe="$2"; driver="$3"; shots="$4"; recorder="$5"
. "$(dirname "$0")/lib.sh"

# An OLE date (days since 30 December 1899, local time) as the 8 little-endian bytes of a .reg
# hex value, for a time given to date(1).
ole_hex() {
  local epoch offset
  epoch=$(date -d "$1" +%s)
  offset=$(date -d "$1" +%z)
  perl -e 'my ($e, $z) = @ARGV; my $s = ($z =~ /^-/ ? -1 : 1) * (substr($z,1,2)*3600 + substr($z,3,2)*60);
           print join(",", map { sprintf "%02x", $_ } unpack("C8", pack("d<", ($e + $s) / 86400 + 25569)))' \
       "$epoch" "$offset"
}

record="$(mktemp -d)/record.txt"
export ORV_RECORD_FILE="$(winpath "$record")"
program="$(winpath "$recorder")"
program="${program//\\/\\\\}"
punkt_at="$(date -d '+150 seconds' '+%Y-%m-%d %H:%M:00')"
punkt_time="$(date -d "$punkt_at" +%H:%M)"
echo "tick_realtime: Punkt is set to $punkt_time"

task() {  # name, then extra lines
  local name="$1"; shift
  printf '\n[HKEY_CURRENT_USER\\Software\\Velmora\\Orvalis\\Jobs\\%s]\n' "$name"
  printf '"TaskType"=dword:00000000\n"Program"="%s"\n"ProgramShow"="SW_HIDE"\n' "$program"
  printf '"Param"=dword:00000001\n"ParamString"="%s"\n"TaskAuto"=dword:00000000\n' "$name"
  printf '%s\n' "$@"
}
reset_registry
{
  echo REGEDIT4
  task Frage '"IntEnabled"=dword:00000001' '"Intervall"=dword:00000001' '"TimeEnabled"=dword:00000000' \
       '"Confirm"=dword:00000001' '"Recover"=dword:00000001'
  task Nachholen '"IntEnabled"=dword:00000000' '"TimeEnabled"=dword:00000001' \
       "\"Time\"=\"$(date -d '-3 hours' +%H:%M)\"" '"Confirm"=dword:00000000' '"Recover"=dword:00000000' \
       "\"NextExecution\"=hex:$(ole_hex 'yesterday')"
  task Punkt '"IntEnabled"=dword:00000000' '"TimeEnabled"=dword:00000001' "\"Time\"=\"$punkt_time\"" \
       '"Confirm"=dword:00000000' '"Recover"=dword:00000000' "\"NextExecution\"=hex:$(ole_hex "$punkt_at")"
} | import_registry

start_orvalis
run "$driver" wait-window 30000 || exit 1
screenshot tick_start

# The first tick comes a minute after the start.
run "$driver" wait-class TFormConfirm 100000 || { echo "tick_realtime: no confirmation"; exit 1; }
screenshot tick_confirm
line=$(run "$driver" control-text TFormConfirm 1102 | tr -d '\r')
echo "tick_realtime: asked: $line"
[ "$line" = "Task 'Frage' hat den Durchf\u00FChrungszeitpunkt erreicht." ] || { echo "tick_realtime: wrong question"; exit 1; }
grep -q Frage "$record" 2>/dev/null && { echo "tick_realtime: ran before the answer"; exit 1; }
run "$driver" click TFormConfirm 1104  # "Ja"

for _ in $(seq 1 100); do grep -q Nachholen "$record" 2>/dev/null && grep -q Frage "$record" && break; sleep 0.2; done
grep -q Frage "$record" || { echo "tick_realtime: Frage did not run after Ja"; exit 1; }
grep -q Nachholen "$record" || { echo "tick_realtime: the missed run was not made up"; exit 1; }
run "$driver" next-execution-future Nachholen || { echo "tick_realtime: no future next start"; exit 1; }

# Wait until a tick after Punkt's minute is through.
until [ "$(date +%s)" -gt $(( $(date -d "$punkt_at" +%s) + 75 )) ]; do
  # Further confirmations of Frage (every minute) are answered "Nein".
  run "$driver" wait-class TFormConfirm 1000 >/dev/null 2>&1 && run "$driver" click TFormConfirm 1105
  sleep 2
done
sleep 5
screenshot tick_after
count=$(grep -c Punkt "$record")
echo "tick_realtime: Punkt ran $count time(s)"
[ "$count" = 1 ] || { cat "$record"; exit 1; }
[ "$(grep -c Nachholen "$record")" = 1 ] || { echo "tick_realtime: the missed run ran again"; exit 1; }
echo "tick_realtime: ok"
