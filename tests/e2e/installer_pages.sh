#!/usr/bin/env bash
# The installer and the uninstaller as a user sees them (no /S), page by page, in German, with
# a screenshot of every page and question under SCREENSHOT_DIR (installer-pages-*.png):
# welcome, components (autostart), folder, progress, finish with "Orvalis jetzt starten"
# (which starts the installed program); the installer asking to end the running Orvalis, with
# "Abbrechen" and with "Wiederholen" after Orvalis has ended; the uninstaller's pages and its
# question about the stored tasks, answered "Nein" (kept) and, after a second installation,
# "Ja" (deleted); after a third, with no stored settings, no question at all.
# Usage: installer_pages.sh PREFIX ORVALIS_EXE DRIVER_EXE SCREENSHOT_DIR SETUP_EXE BITS SETUP_DRIVER_EXE
set -u
prefix="$1"; exe="$2"; driver="$3"; shots="$4"; setup="$5"; bits="$6"; sdriver="$7"
. "$(dirname "$0")/lib.sh"
. "$(dirname "$0")/setup_lib.sh"
skip_unless_runnable installer_pages
fail() { echo "installer_pages: $*"; exit 1; }
setup_pid=""
started_by_setup=""
trap '[ -n "$started_by_setup" ] && run "$driver" quit >/dev/null 2>&1; end_setup_processes; forget_installation' EXIT

# IDs of the wizard's buttons and of message box buttons.
NEXT=1; CANCEL=2; IDRETRY=4; IDYES=6; IDNO=7

# Waits for a page or message box showing TEXT, checks that it holds each further text, that
# it holds no English button text, and takes its picture.
page() {
  local kind="$1" text="$2" shot="$3" out
  shift 3
  out=$(run "$sdriver" wait "$kind" "$text" 30000) || { echo "$out"; fail "no $kind showing \"$text\""; }
  out=$(tr -d '\r' <<<"$out")
  echo "--- $shot"
  echo "$out"
  # Access keys ("&Weiter >") are left out of the comparison.
  for want in "$@"; do
    sed 's/&//g' <<<"$out" | grep -qF -- "$want" || fail "$shot: \"$want\" is missing"
  done
  if sed 's/&//g' <<<"$out" \
      | grep -E '^Button [0-9]+: (< )?(Next|Back|Cancel|Install|Uninstall|Browse...|Close|Finish|Yes|No|Retry|OK)( >)?$'; then
    fail "$shot: an English button"
  fi
  window_shot "installer-pages-$shot" "$out"
}
press() { run "$sdriver" press "$1" "$2" || fail "cannot press button $2 of the $1"; }
start_setup() { run "$@" & setup_pid=$!; }
wait_setup() {
  wait "$setup_pid"
  local rc=$?
  setup_pid=""
  return $rc
}

forget_installation
reset_registry
import_registry <<'REG'
REGEDIT4

[HKEY_CURRENT_USER\Software\Velmora\Orvalis\Jobs\Sicherung]
"TaskAuto"=dword:00000001
"OnIdle"=dword:00000001
"IdleTime"=dword:00000005
REG

# --- The installer, page by page.
start_setup "$setup"
page page "Willkommen bei der Installation von Orvalis" 1-willkommen \
  "Orvalis 1.2.0 – Installation" "Weiter >" "Abbrechen" "Administratorrechte sind nicht nötig"
press page $NEXT
page page "Komponenten auswählen" 2-komponenten "Damit Ihre Tasks ohne Ihr Zutun ausgeführt werden" \
  "< Zurück" "Weiter >"
press page $NEXT
page page "Zielverzeichnis auswählen" 3-zielverzeichnis "Durchsuchen" "Installieren" \
  "$instdir_win"
press page $NEXT
page page "Die Installation ist vollständig" 4-installiert "Weiter >"
press page $NEXT
page page "Orvalis 1.2.0 ist installiert" 5-fertig "Orvalis jetzt starten" "Hilfe anzeigen" \
  "Fertigstellen" "Ein Klick auf sein Symbol zeigt das Fenster"
press page $NEXT
wait_setup || fail "the installer ended with an error"
[ -f "$instdir/Orvalis.exe" ] && [ -f "$instdir/help.chm" ] || fail "nothing was installed"
[ -n "$(regval "$run_key" Orvalis)" ] || fail "autostart (on by default) is missing"

# "Orvalis jetzt starten" was ticked: the installed program runs and lists the task.
run "$driver" wait-window 30000 || fail "the finish page did not start Orvalis"
rows=$(run "$driver" rows | tr -d '\r')
[ "$rows" = "Sicherung | 5 Minute(n) | Leerlauf" ] || { echo "$rows"; fail "the started Orvalis does not list the task"; }
started_by_setup=1  # the trap ends it through the driver

# --- Orvalis runs: the installer asks to end it. "Abbrechen" ends the installer.
start_setup "$setup"
page msgbox "Orvalis läuft gerade" 6-orvalis-laeuft "„Beenden“" "Wiederholen" "Abbrechen"
press msgbox $CANCEL
wait_setup
rc=$?
[ "$rc" = 2 ] || fail "the installer went on after \"Abbrechen\" (exit code $rc)"
# Again, and this time Orvalis is ended ("Beenden") before "Wiederholen": the wizard opens.
start_setup "$setup"
page msgbox "Orvalis läuft gerade" 6-orvalis-laeuft-2
run "$driver" quit >/dev/null 2>&1
for _ in $(seq 1 50); do run "$driver" responsive 100 >/dev/null 2>&1 || break; sleep 0.2; done
started_by_setup=""
press msgbox $IDRETRY
page page "Willkommen bei der Installation von Orvalis" 7-nach-wiederholen
press page $CANCEL
page msgbox "Sind Sie sicher" 8-abbrechen-frage "Ja" "Nein"
press msgbox $IDYES
wait_setup
run "$sdriver" gone 10000 || fail "the installer is still open"

# --- The uninstaller, page by page; the stored tasks are kept ("Nein", the default).
start_setup "$instdir/uninstall.exe"
page page "Deinstallation von Orvalis" 9-deinstallieren "Orvalis 1.2.0 – Deinstallation" \
  "Deinstallieren" "Abbrechen"
press page $NEXT
page msgbox "Sollen auch die gespeicherten Tasks" 10-tasks-frage \
  'HKEY_CURRENT_USER\Software\Velmora\Orvalis' "Ja" "Nein"
press msgbox $IDNO
page page "Die Deinstallation ist vollständig" 11-deinstalliert "Weiter >"
press page $NEXT
page page "Orvalis wurde entfernt" 12-fertig "Fertigstellen"
press page $NEXT
run "$sdriver" gone 20000 || fail "the uninstaller is still open"
for _ in $(seq 1 50); do [ -e "$instdir" ] || break; sleep 0.2; done
[ ! -e "$instdir" ] || fail "the installation folder is still there"
[ ! -e "$menudir" ] || fail "the Start-menu folder is still there"
[ -z "$(regval "$run_key" Orvalis)" ] || fail "the autostart entry is still there"
run reg query 'HKCU\Software\Velmora\Orvalis\Jobs\Sicherung' >/dev/null 2>&1 || fail "the task was deleted after \"Nein\""

# --- Installed once more, then uninstalled with "Ja": the tasks are deleted.
run "$setup" /S || fail "the second installation failed"
start_setup "$instdir/uninstall.exe"
page page "Deinstallation von Orvalis" 13-deinstallieren-2
press page $NEXT
page msgbox "Sollen auch die gespeicherten Tasks" 14-tasks-frage-ja
press msgbox $IDYES
page page "Die Deinstallation ist vollständig" 15-tasks-geloescht
press page $NEXT
page page "Orvalis wurde entfernt" 16-fertig
press page $NEXT
run "$sdriver" gone 20000 || fail "the uninstaller is still open"
run reg query 'HKCU\Software\Velmora\Orvalis' >/dev/null 2>&1 && fail "the tasks were kept after \"Ja\""
run reg query 'HKCU\Software\Velmora' >/dev/null 2>&1 && fail "the empty key Velmora was left behind"

# --- With no stored settings the uninstaller has nothing to ask: no question comes up.
run "$setup" /S || fail "the third installation failed"
start_setup "$instdir/uninstall.exe"
page page "Deinstallation von Orvalis" 17-deinstallieren-ohne-tasks
press page $NEXT
page page "Die Deinstallation ist vollständig" 18-ohne-frage
press page $NEXT
page page "Orvalis wurde entfernt" 19-fertig
press page $NEXT
run "$sdriver" gone 20000 || fail "the uninstaller is still open"
echo "installer_pages: ok"
