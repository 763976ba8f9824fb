#!/usr/bin/env bash
# Builds what a user downloads: build/dist/dravlin-<version>-win32.zip with the
# 32-bit plug-in, a sample menu and the user guide. The version is the one in
# the plug-in's own version resource.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${DRAVLIN_BUILD_DIR:-$top/build}
dist=$build/dist

"$top/scripts/setup.sh"
cmake -S "$top" -B "$build/i686" -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-i686.cmake" \
      -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build/i686" -j"$(nproc)" --target dravlin >/dev/null
dll=$build/i686/bin/dravlin.dll
version=$(python3 "$top/scripts/file_version.py" "$dll")

staging=$(mktemp -d)
trap 'rm -rf "$staging"' EXIT
cp "$dll" "$staging/dravlin.dll"
cp "$top/demo/dravlin.ini" "$staging/dravlin.ini"
cp "$top/release/README.txt" "$staging/README.txt"
mkdir -p "$dist"
archive=$dist/dravlin-$version-win32.zip
rm -f "$dist"/dravlin-*-win32.zip
(cd "$staging" && python3 -m zipfile -c "$archive" dravlin.dll dravlin.ini README.txt)
echo "Release archive: $archive"
