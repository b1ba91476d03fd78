#!/usr/bin/env bash
# Resume and clock changes: after the resume from standby, and after a change of the clock, a
# tick comes within seconds (the minute tick would come a minute after the start): the missed
# run of "Wach" (stored next start yesterday, Recover 0) is made up at once, each time once.
# Usage: resume.sh PREFIX ORVALIS_EXE DRIVER_EXE SCREENSHOT_DIR RECORD_ARGS_EXE
set -u
prefix="$1"; exe="$2"; driver="$3"; shots="$4"; recorder="$5"
. "$(dirname "$0")/lib.sh"

# Yesterday at noon as an OLE date (8 little-endian bytes): far enough back in every time zone.
yesterday_hex() {
  perl -e 'my @t = localtime(time - 86400); use POSIX;
           my $d = POSIX::mktime(0, 0, 12, $t[3], $t[4], $t[5]) ;
           my $local = ($d - (POSIX::mktime(gmtime($d)) - $d)) / 86400 + 25569;
           print join(",", map { sprintf "%02x", $_ } unpack("C8", pack("d<", $local)))'
}

record="$(mktemp -d)/record.txt"
export ORV_RECORD_FILE="$(winpath "$record")"
program="$(winpath "$recorder")"
program="${program//\\/\\\\}"
wach() {
  printf 'REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Velmora\\Orvalis\\Jobs\\Wach]\n'
  printf '"TaskType"=dword:00000000\n"Program"="%s"\n"ProgramShow"="SW_HIDE"\n' "$program"
  printf '"Param"=dword:00000001\n"ParamString"="Wach"\n"TaskAuto"=dword:00000000\n'
  printf '"IntEnabled"=dword:00000000\n"TimeEnabled"=dword:00000001\n"Time"="%s"\n' "$(date -d '-3 hours' +%H:%M)"
  printf '"Confirm"=dword:00000000\n"Recover"=dword:00000000\n"NextExecution"=hex:%s\n' "$(yesterday_hex)"
}
# Waits up to SECONDS for the record to hold COUNT runs; prints how long it took.
wait_runs() {
  local count="$1" seconds="$2" start now
  start=$(date +%s%N)
  while :; do
    [ "$(grep -c Wach "$record" 2>/dev/null)" -ge "$count" ] && break
    now=$(date +%s%N)
    [ $(( (now - start) / 1000000000 )) -ge "$seconds" ] && { echo "resume: no run $count within ${seconds}s"; return 1; }
    sleep 0.1
  done
  echo "resume: run $count after $(( ($(date +%s%N) - start) / 1000000 )) ms"
}

reset_registry
wach | import_registry
start_orvalis
run "$driver" wait-window 30000 || exit 1
run "$driver" wait-rows 1 10000 || exit 1
grep -q Wach "$record" 2>/dev/null && { echo "resume: ran before any tick"; exit 1; }

run "$driver" power-resume
wait_runs 1 15 || exit 1
run "$driver" next-execution-future Wach || { echo "resume: no future next start"; exit 1; }

# The clock changes: the stored next start lies in the past again (as after a jump forward).
wach | import_registry
run "$driver" time-change
wait_runs 2 15 || exit 1
screenshot resume_after
[ "$(grep -c Wach "$record")" = 2 ] || { cat "$record"; exit 1; }
echo "resume: ok"
