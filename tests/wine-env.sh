# Sourced by the Wine helper scripts: picks the Wine loader this machine can run and sets the
# environment every Wine process of the project shares (German locale, no Mono/Gecko prompts).
#
# Some machines run 64-bit user code only (the kernel's IA-32 emulation is off): there the 32-bit
# loader fails with "Exec format error", only 64-bit Windows programs can run, and the tests use
# the win64 build of the same sources.
# ORV_ONLY_64=1 takes the path of a machine that runs 64-bit programs only, to try it here.
orv_wine_i386_ok() { [ -z "${ORV_ONLY_64:-}" ] && /usr/lib/wine/wine --version >/dev/null 2>&1; }
if orv_wine_i386_ok; then
  ORV_WINE=/usr/lib/wine/wine
else
  ORV_WINE=/usr/lib/wine/wine64
  export WINELOADER="$ORV_WINE"
fi
export WINEDEBUG="${WINEDEBUG:--all}" WINEDLLOVERRIDES="mscoree,mshtml="
export LANG=de_DE.UTF-8 LC_ALL=de_DE.UTF-8
