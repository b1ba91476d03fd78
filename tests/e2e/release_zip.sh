#!/usr/bin/env bash
# The portable package holds exactly the release files, each identical to the one built:
# Orvalis.exe, help.chm (beside it in the build) and Liesmich.txt (the users' German text, with
# the version filled in, UTF-8 with its mark and Windows line ends).
# Usage: release_zip.sh ZIP ORVALIS_EXE LIESMICH VERSION
set -u
zip="$1"; exe="$2"; liesmich="$3"; version="$4"
fail() { echo "release_zip: $*"; exit 1; }

[ -f "$zip" ] || fail "$zip is missing"
unzip -l "$zip" || fail "unzip cannot read $zip"
names=$(unzip -Z1 "$zip" | sort)
expected=$(printf '%s\n' Orvalis.exe Liesmich.txt help.chm | sort)
[ "$names" = "$expected" ] || { echo "$names"; fail "the package does not hold exactly Orvalis.exe, help.chm, Liesmich.txt"; }
unzip -tq "$zip" || fail "the package is damaged"
unzip -p "$zip" Orvalis.exe | cmp -s - "$exe" || fail "Orvalis.exe differs from the built one"
unzip -p "$zip" help.chm | cmp -s - "$(dirname "$exe")/help.chm" || fail "help.chm differs from the built one"
unzip -p "$zip" Liesmich.txt | cmp -s - "$liesmich" || fail "Liesmich.txt differs from the built one"
text=$(unzip -p "$zip" Liesmich.txt)
[ "$(printf '%s' "$text" | head -c 3 | od -An -tx1 | tr -d ' ')" = efbbbf ] || fail "Liesmich.txt has no UTF-8 mark"
printf '%s' "$text" | grep -q 'Orvalis '"$version"$' – Liesmich\r$' || fail "Liesmich.txt does not name version $version with Windows line ends"
printf '%s' "$text" | grep -q 'Orvalis-Setup-'"$version"'-x64.exe' || fail "Liesmich.txt does not name the 64-bit installer"
printf '%s' "$text" | grep -q '@' && fail "Liesmich.txt holds an unfilled @placeholder@"
printf '%s' "$text" | grep -q 'Aufgabenplaner für Windows' || fail "Liesmich.txt lost its umlauts"
printf '%s' "$text" | grep -q 'Tasks exportieren' || fail "Liesmich.txt says nothing of the backup by export"
echo "release_zip: ok"
