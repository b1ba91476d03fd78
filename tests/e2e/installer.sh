#!/usr/bin/env bash
# The installer, run silently (/S) as an administrator would, in the test run's Wine prefix:
# the files, the Start-menu shortcuts, the autostart entry and the entry in "Programme und
# Features" exist; the installed Orvalis.exe starts from there and lists a task stored before;
# while it runs, neither the installer nor the uninstaller replaces or removes anything; a
# silent uninstall removes files, shortcuts, autostart and uninstall entry and the idle hook
# library that the program wrote to the user's folder, and keeps the tasks.
# Usage: installer.sh PREFIX ORVALIS_EXE DRIVER_EXE SCREENSHOT_DIR SETUP_EXE BITS
set -u
prefix="$1"; exe="$2"; driver="$3"; shots="$4"; setup="$5"; bits="$6"
. "$(dirname "$0")/lib.sh"
. "$(dirname "$0")/setup_lib.sh"
skip_unless_runnable installer
fail() { echo "installer: $*"; exit 1; }
built_exe="$exe"
trap 'stop_orvalis; forget_installation' EXIT

forget_installation
reset_registry
import_registry <<'REG'
REGEDIT4

[HKEY_CURRENT_USER\Software\Velmora\Orvalis\Jobs\Vor der Installation]
"TaskAuto"=dword:00000001
"OnIdle"=dword:00000001
"IdleTime"=dword:0000000f
REG

echo "installer: $(basename "$setup") /S"
run "$setup" /S || fail "the silent installation failed (exit code $?)"

# Files: exactly the release files and the uninstaller, the program identical to the build.
ls -l "$instdir"
[ "$(cd "$instdir" && ls | LC_ALL=C sort | tr '\n' ' ')" = "Liesmich.txt Orvalis.exe help.chm uninstall.exe " ] \
  || fail "$instdir does not hold exactly Orvalis.exe, Liesmich.txt, help.chm, uninstall.exe"
cmp -s "$instdir/Orvalis.exe" "$built_exe" || fail "the installed Orvalis.exe differs from the build"
cmp -s "$instdir/help.chm" "$(dirname "$built_exe")/help.chm" || fail "the installed help.chm differs"
cmp -s "$instdir/Liesmich.txt" "$(dirname "$built_exe")/../Liesmich.txt" \
  || fail "the installed Liesmich.txt differs from the built one"

# Shortcuts, each pointing into the installation folder.
for link in "Orvalis.lnk:Orvalis.exe" "Orvalis-Hilfe.lnk:help.chm" "Orvalis deinstallieren.lnk:uninstall.exe"; do
  file="$menudir/${link%%:*}"
  [ -f "$file" ] || fail "the shortcut ${link%%:*} is missing"
  grep -aq "Programs.Orvalis.${link#*:}" "$file" || fail "${link%%:*} does not point to ${link#*:}"
done
echo "installer: shortcuts: $(cd "$menudir" && ls | tr '\n' ';')"

# Autostart for the current user.
autostart=$(regval "$run_key" Orvalis)
echo "installer: autostart: $autostart"
[ "$autostart" = "\"$instdir_win\\Orvalis.exe\"" ] || fail "the autostart entry is wrong or missing"

# "Programme und Features" for the current user.
run reg query "$uninst_key" | tr -d '\r'
[ "$(regval "$uninst_key" DisplayName)" = Orvalis ] || fail "DisplayName"
[ "$(regval "$uninst_key" DisplayVersion)" = 1.2.0.0 ] || fail "DisplayVersion"
[ "$(regval "$uninst_key" Publisher)" = Velmora ] || fail "Publisher"
[ "$(regval "$uninst_key" UninstallString)" = "\"$instdir_win\\uninstall.exe\"" ] || fail "UninstallString"
[ "$(regval "$uninst_key" DisplayIcon)" = "$instdir_win\\Orvalis.exe,0" ] || fail "DisplayIcon"
[ "$(regval "$uninst_key" NoModify)" = 0x1 ] || fail "NoModify"
[ "$(regval "$uninst_key" NoRepair)" = 0x1 ] || fail "NoRepair"

# An Orvalis that runs from elsewhere (a portable copy) is found by its semaphore alone: the
# installer stops as well.
start_orvalis
run "$driver" wait-window 30000 || fail "the built Orvalis.exe shows no window"
run "$setup" /S
rc=$?
[ "$rc" = 2 ] || fail "the installer did not stop while a portable Orvalis runs (exit code $rc)"
stop_orvalis

# The installed program starts from there and lists the task stored before.
exe="$instdir/Orvalis.exe"
start_orvalis
run "$driver" wait-window 30000 || fail "the installed Orvalis.exe shows no window"
screenshot installer-installed-running
rows=$(run "$driver" rows | tr -d '\r')
echo "$rows"
[ "$rows" = "Vor der Installation | 15 Minute(n) | Leerlauf" ] || fail "the stored task is not listed"
[ -f "$libdir/DsrSleep.dll" ] || fail "the running Orvalis keeps no DsrSleep.dll in $libdir"

# While Orvalis runs: the installer gives up at once (silently: "Abbrechen") and replaces
# nothing; so does the uninstaller, run in place so that its exit code is its own.
stamp=$(stat -c %Y.%s "$instdir/Orvalis.exe")
touch -d '2001-01-01' "$instdir/help.chm"
run "$setup" /S
rc=$?
[ "$rc" = 2 ] || fail "the installer did not stop while Orvalis runs (exit code $rc)"
[ "$(stat -c %Y.%s "$instdir/Orvalis.exe")" = "$stamp" ] || fail "the running Orvalis.exe was touched"
[ "$(stat -c %Y "$instdir/help.chm")" = "$(date -d 2001-01-01 +%s)" ] || fail "help.chm was replaced while Orvalis runs"
run "$instdir/uninstall.exe" /S "_?=$instdir_win"
rc=$?
[ "$rc" = 2 ] || fail "the uninstaller did not stop while Orvalis runs (exit code $rc)"
[ -f "$instdir/Orvalis.exe" ] && [ -n "$(regval "$run_key" Orvalis)" ] \
  || fail "the uninstaller removed something while Orvalis runs"
echo "installer: while Orvalis runs, installer and uninstaller stop (exit code 2) and change nothing"
stop_orvalis

# Installing again over the old installation, now that Orvalis has ended, works.
run "$setup" /S || fail "installing over the old installation failed"
[ "$(stat -c %Y "$instdir/help.chm")" != "$(date -d 2001-01-01 +%s)" ] || fail "help.chm was not replaced"

# Silent uninstall: the uninstaller copies itself away and returns at once; wait for it.
run "$instdir/uninstall.exe" /S || fail "the silent uninstall failed to start"
for _ in $(seq 1 100); do
  if [ ! -e "$instdir" ] && [ ! -e "$menudir" ] && ! run reg query "$uninst_key" >/dev/null 2>&1; then break; fi
  sleep 0.2
done
# The uninstaller's last step, the question about the tasks, is answered "Nein" silently: wait
# until its copy has ended.
for _ in $(seq 1 100); do uninstaller_copy_running || break; sleep 0.1; done
uninstaller_copy_running && fail "the uninstaller is still running"
[ ! -e "$instdir" ] || { ls -l "$instdir"; fail "the installation folder is still there"; }
[ ! -e "$menudir" ] || fail "the Start-menu folder is still there"
[ -z "$(regval "$run_key" Orvalis)" ] || fail "the autostart entry is still there"
[ ! -e "$libdir" ] || { ls -l "$libdir"; fail "the idle hook library's folder is still there"; }
run reg query "$uninst_key" >/dev/null 2>&1 && fail "the uninstall entry is still there"
run reg query 'HKCU\Software\Velmora\Orvalis\Jobs\Vor der Installation' >/dev/null 2>&1 \
  || fail "the silent uninstall deleted the stored tasks"
echo "installer: uninstalled; the stored task is kept"
reset_registry
echo "installer: ok"
