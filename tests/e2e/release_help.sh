#!/usr/bin/env bash
# The help file help.chm as built: beside Orvalis.exe, an ITSF file of plausible size whose
# directory (read with 7-Zip, a reader independent of the compiler) holds every page of the
# project, the contents, the index and the full-text search; German (LCID 0x407), the contents
# in Windows-1252 and the pages in UTF-8 as declared, so that umlauts show.
# Usage: release_help.sh HELP_CHM HELP_SOURCE_DIR
set -u
chm="$1"; src="$2"
fail() { echo "release_help: $*"; exit 1; }

[ -f "$chm" ] || fail "$chm is missing"
[ -f "$(dirname "$chm")/Orvalis.exe" ] || fail "help.chm is not beside Orvalis.exe"
size=$(stat -c %s "$chm")
echo "release_help: $chm, $size bytes"
[ "$size" -ge 20000 ] || fail "help.chm is implausibly small"
[ "$(head -c 4 "$chm")" = ITSF ] || fail "no ITSF header"
[ "$(od -An -tu4 -j4 -N4 "$chm" | tr -d ' ')" = 3 ] || fail "not ITSF version 3"

listing=$(7z l -slt -- "$chm" | sed -n 's/^Path = //p')
[ -n "$listing" ] || fail "7-Zip cannot read the help file"
pages=$(sed -n '/^\[FILES\]/,/^\[/{/^\[/d;/^[[:space:]]*$/d;p}' "$src/orvalis.hhp" | tr -d '\r')
for f in $pages toc.hhc index.hhk '#SYSTEM' '#WINDOWS' '$FIftiMain'; do
  grep -qx -- "$f" <<<"$listing" || fail "$f is missing from the help file"
done
echo "release_help: $(wc -l <<<"$listing") entries, all $(wc -w <<<"$pages") pages present"

# German: the #SYSTEM entry 4 (LCID) holds 0x0407.
7z e -so -- "$chm" '#SYSTEM' | od -An -tx1 | tr -d ' \n' | grep -q '040024000704' \
  || fail "the help file's language is not German (0x407)"

# The contents are Windows-1252, the code page of that language; every entry names a page.
toc=$(7z e -so -- "$chm" toc.hhc | iconv -f WINDOWS-1252 -t UTF-8) || fail "toc.hhc is not Windows-1252"
grep -q 'value="Rückfragen: Bestätigung und Nachholen"' <<<"$toc" || fail "umlauts in the contents are wrong"
for page in $(grep -o 'name="Local" value="[^"]*"' <<<"$toc" | sed 's/.*value="//;s/"$//'); do
  grep -qx -- "$page" <<<"$listing" || fail "the contents name $page, which is not in the help file"
done
index=$(7z e -so -- "$chm" index.hhk | iconv -f WINDOWS-1252 -t UTF-8) || fail "index.hhk is not Windows-1252"
grep -q 'value="Änderung (Auslöser)"' <<<"$index" || fail "umlauts in the index are wrong"

# A page: UTF-8 as declared, with the texts the program shows.
page=$(7z e -so -- "$chm" ausloeser.html)
grep -qi 'charset=utf-8' <<<"$page" || fail "ausloeser.html does not declare UTF-8"
grep -q 'Task bei Änderung von Dateien durchführen.' <<<"$page" || fail "ausloeser.html lacks its text"
for text in 'HKEY_CURRENT_USER\Software\Velmora\Orvalis' 'Bestätigung der Durchführung' 'Task nachholen' \
            'Minimiert starten' 'Windows-Shutdown' 'Nur einmal pro Windows-Sitzung durchführen' \
            'Programm-Rückmeldungen abwarten (empfohlen)' 'Beenden'; do
  found=0
  for f in $pages; do
    case "$f" in *.html) 7z e -so -- "$chm" "$f" | grep -qF -- "$text" && { found=1; break; } ;; esac
  done
  [ "$found" = 1 ] || fail "no page mentions \"$text\""
done
echo "release_help: ok"
