#!/usr/bin/env bash
# The portable package holds exactly the release files, each identical to the one built:
# Orvalis.exe, help.chm (beside it in the build) and README.txt (the README).
# Usage: release_zip.sh ZIP ORVALIS_EXE README
set -u
zip="$1"; exe="$2"; readme="$3"
fail() { echo "release_zip: $*"; exit 1; }

[ -f "$zip" ] || fail "$zip is missing"
unzip -l "$zip" || fail "unzip cannot read $zip"
names=$(unzip -Z1 "$zip" | sort)
expected=$(printf '%s\n' Orvalis.exe README.txt help.chm | sort)
[ "$names" = "$expected" ] || { echo "$names"; fail "the package does not hold exactly Orvalis.exe, help.chm, README.txt"; }
unzip -tq "$zip" || fail "the package is damaged"
unzip -p "$zip" Orvalis.exe | cmp -s - "$exe" || fail "Orvalis.exe differs from the built one"
unzip -p "$zip" help.chm | cmp -s - "$(dirname "$exe")/help.chm" || fail "help.chm differs from the built one"
unzip -p "$zip" README.txt | cmp -s - "$readme" || fail "README.txt differs from README.md"
echo "release_zip: ok"
