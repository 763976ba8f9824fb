#!/usr/bin/env bash
# Runs every test: installs what is missing, builds the native core with its unit
# tests, the shipped 32-bit plug-in and a 64-bit build of the same code, and runs
# the unit tests (also under sanitizers), a short fuzzing run, the check of the
# shipped module and the Wine tests.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${DRAVLIN_BUILD_DIR:-$top/build}
jobs=$(nproc)

"$top/scripts/setup.sh"
. "$top/scripts/wine-env.sh"

echo "== native core and unit tests"
cmake -S "$top" -B "$build/native" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build/native" -j"$jobs"
ctest --test-dir "$build/native" --output-on-failure -j"$jobs"

echo "== native unit tests under AddressSanitizer and UndefinedBehaviorSanitizer"
cmake -S "$top" -B "$build/native-asan" -DCMAKE_BUILD_TYPE=Debug \
      -DCMAKE_CXX_FLAGS="-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer" >/dev/null
cmake --build "$build/native-asan" -j"$jobs" --target unit_tests
ctest --test-dir "$build/native-asan" --output-on-failure -j"$jobs"

echo "== fuzz targets of the core, 20 s each"
"$top/scripts/fuzz.sh" 20

for arch in i686 x86_64; do
  echo "== cross build, $arch"
  cmake -S "$top" -B "$build/$arch" -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-$arch.cmake" \
        -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$build/$arch" -j"$jobs"
done

echo "== the shipped module"
ctest --test-dir "$build/i686" --output-on-failure -LE wine

make_wine_prefix
trap remove_wine_prefix EXIT
display=(xvfb-run -a -s "-screen 0 1280x1024x24")

echo "== Wine tests, 64-bit build"
"${display[@]}" ctest --test-dir "$build/x86_64" --output-on-failure -L wine

if can_run_32bit; then
  echo "== Wine tests, 32-bit build"
  "${display[@]}" ctest --test-dir "$build/i686" --output-on-failure -L wine
else
  echo "== Wine tests, 32-bit build: skipped, this machine cannot run 32-bit programs"
fi

# Screenshots the Wine tests took, as PNGs for a person to look at.
mkdir -p "$build/screenshots"
for bmp in "$build"/*/bin/screenshots/*.bmp; do
  [ -e "$bmp" ] && convert "$bmp" "$build/screenshots/$(basename "${bmp%.bmp}").png"
done
echo "Screenshots: $build/screenshots"
