#!/usr/bin/env bash
# Builds the German help file help.chm from the sources in help/ with chmcmd (Free Pascal).
# Usage: build-help.sh SOURCE_DIR OUTPUT_CHM WORK_DIR
#
# The pages stay UTF-8 and declare it in their <meta> element. The contents and index files
# (.hhc, .hhk) have no charset of their own: a help viewer reads them in the ANSI code page of
# the help file's language (0x407, German: Windows-1252), so they are converted to that code
# page here. chmcmd's output must hold no error and no warning (a missing page, a broken link).
set -euo pipefail
src="$1"; out="$2"; work="$3"

fail() { echo "build-help: $*" >&2; exit 1; }
command -v chmcmd >/dev/null || fail "chmcmd is missing (Debian package fp-utils; run scripts/setup.sh)"
command -v iconv >/dev/null || fail "iconv is missing"

rm -rf "$work"
mkdir -p "$work"
hhp="$src/orvalis.hhp"
[ -f "$hhp" ] || fail "$hhp is missing"

# The pages named in [FILES], UTF-8 with the charset declared.
pages=$(sed -n '/^\[FILES\]/,/^\[/{/^\[/d;/^[[:space:]]*$/d;p}' "$hhp" | tr -d '\r')
for f in $pages; do
  [ -f "$src/$f" ] || fail "$f is listed in orvalis.hhp but missing"
  iconv -f UTF-8 -t UTF-8 "$src/$f" >/dev/null 2>&1 || fail "$f is not valid UTF-8"
  case "$f" in
    *.html)
      grep -qi '<meta http-equiv="Content-Type" content="text/html; charset=utf-8">' "$src/$f" \
        || fail "$f does not declare charset=utf-8"
      ;;
  esac
  cp "$src/$f" "$work/$f"
done
# Every page in the folder is listed, so none is left out of the help file by mistake.
for f in "$src"/*.html; do
  grep -qx "$(basename "$f")" <<<"$pages" || fail "$(basename "$f") is not listed in orvalis.hhp [FILES]"
done

for f in orvalis.hhp toc.hhc index.hhk; do
  iconv -f UTF-8 -t WINDOWS-1252 "$src/$f" >"$work/$f" \
    || fail "$f holds a character that Windows-1252 cannot show"
done

log="$work/chmcmd.log"
( cd "$work" && chmcmd --html-scan orvalis.hhp ) >"$log" 2>&1 || { cat "$log"; fail "chmcmd failed"; }
if grep -Eiv '^(chmcmd, a CHM compiler|Note: |Writing CHM |$)' "$log" | grep -q .; then
  cat "$log"
  fail "chmcmd reported errors or warnings"
fi
chm="$work/help.chm"
[ -f "$chm" ] || fail "chmcmd wrote no help.chm"
[ "$(head -c 4 "$chm")" = ITSF ] || fail "help.chm has no ITSF header"
mkdir -p "$(dirname "$out")"
cp "$chm" "$out.tmp"
mv -f "$out.tmp" "$out"
echo "build-help: $out ($(stat -c %s "$out") bytes)"
