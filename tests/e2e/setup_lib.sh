# Sourced by the release tests that run under Wine, after lib.sh: the check whether this
# machine can run the package's programs at all, the installed paths in the prefix and a
# clean-up that leaves the prefix as if Orvalis had never been installed.
# Expects: bits (32 or 64), and what lib.sh expects.
. "$here/wine-env.sh"
skip_unless_runnable() {
  if [ "$bits" = 32 ] && ! orv_wine_i386_ok; then
    echo "$1: SKIPPED: this is the 32-bit (win32) build, and this machine cannot run 32-bit"
    echo "$1: code (Exec format error). The win64 build runs the same test on its 64-bit package."
    exit 77
  fi
}

# Wine's menu builder would copy every shortcut into the host's own desktop menus.
run reg add 'HKCU\Software\Wine\DllOverrides' /v winemenubuilder.exe /t REG_SZ /d '' /f >/dev/null 2>&1

unixpath() { run winepath -u "$1" | tr -d '\r'; }
envvar() { run cmd /c "echo %$1%" | tr -d '\r'; }
# The data of a registry value as reg.exe prints it (empty when it does not exist).
regval() {
  run reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' \
    | sed -n "s/^ *$2 *REG_[A-Z_]* *//p"
}

uninst_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Orvalis'
run_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Run'
instdir_win="$(envvar LOCALAPPDATA)\\Programs\\Orvalis"
instdir="$(unixpath "$instdir_win")"
libdir="$(unixpath "$(envvar LOCALAPPDATA)\\Orvalis")"  # the idle hook library
menudir="$(unixpath "$(envvar APPDATA)\\Microsoft\\Windows\\Start Menu\\Programs\\Orvalis")"
[ -n "$instdir" ] && [ -n "$menudir" ] || { echo "setup: cannot find the user's folders in the prefix"; exit 1; }

forget_installation() {
  rm -rf "$instdir" "$menudir" "$libdir"
  run reg delete "$run_key" /v Orvalis /f >/dev/null 2>&1
  run reg delete "$uninst_key" /f >/dev/null 2>&1
  return 0
}

# Crops a screenshot to the rectangle in the last "rect: L T W H" line of the given text.
window_shot() {
  local name="$1" rect
  rect=$(sed -n 's/^rect: //p' <<<"$2" | tail -1)
  sleep 0.3
  if [ -n "$rect" ]; then
    set -- $rect
    import -window root -crop "${3}x${4}+${1}+${2}" +repage "$shots/$name.png"
  else
    import -window root "$shots/$name.png"
  fi
  echo "e2e: screenshot $shots/$name.png"
}

# Ends what is left of an installer or uninstaller (after a failure): the uninstaller runs as a
# copy of itself named Un_A.exe (Au_.exe in older NSIS versions).
# Whether such a copy still runs in this test's prefix.
uninstaller_copy_running() {
  local pid
  for pid in $(pgrep -f 'Un_A\.exe|Au_\.exe'); do
    tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qxF "WINEPREFIX=$prefix" && return 0
  done
  return 1
}
end_setup_processes() {
  local name
  for name in ${setup:+"$(basename "$setup")"} uninstall.exe Un_A.exe Au_.exe; do
    run taskkill /f /im "$name" >/dev/null 2>&1
  done
  return 0
}
