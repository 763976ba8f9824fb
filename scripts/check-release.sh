#!/usr/bin/env bash
# Checks the release archive in the given folder: exactly the plug-in, the
# sample menu and the guide, and the plug-in byte for byte the tested one.
set -euo pipefail
dist=$1
tested_dll=$2
top=$(cd "$(dirname "$0")/.." && pwd)

fail() { echo "FAIL: $*"; exit 1; }

version=$(python3 "$top/scripts/file_version.py" "$tested_dll")
archive=$dist/dravlin-$version-win32.zip
[ -f "$archive" ] || fail "no $archive"
contents=$(python3 -c 'import sys, zipfile; print(" ".join(sorted(zipfile.ZipFile(sys.argv[1]).namelist())))' "$archive")
[ "$contents" = "README.txt dravlin.dll dravlin.ini" ] || fail "the archive holds: $contents"

unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT
python3 -m zipfile -e "$archive" "$unpacked"
cmp -s "$unpacked/dravlin.dll" "$tested_dll" || fail "the archive's dravlin.dll is not the tested one"
bash "$top/scripts/check-dll.sh" "$unpacked/dravlin.dll"
grep -q '^\[folder0\]' "$unpacked/dravlin.ini" || fail "the sample menu has no root folder"
echo "$(basename "$archive"): $contents; the plug-in is the tested one"
